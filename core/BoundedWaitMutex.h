#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace corvane {

// A mutex whose waits can be bounded (try_lock_for). It stands in for std::timed_mutex, whose
// timed lock goes through pthread_mutex_clocklock: ThreadSanitizer does not see that call and
// then reports every unlock as an unlock of an unlocked mutex. Here the ownership is a flag
// under a plain mutex, and a waiter sleeps on a condition variable until the owner lets go or
// its time is up. Meets the TimedLockable requirements, so std::unique_lock takes it.
class BoundedWaitMutex {
  public:
    void lock() {
        std::unique_lock guard(mutex_);
        released_.wait(guard, [this] { return !held_; });
        held_ = true;
    }
    bool try_lock() {
        std::lock_guard guard(mutex_);
        if (held_) return false;
        held_ = true;
        return true;
    }
    void unlock() {
        {
            std::lock_guard guard(mutex_);
            held_ = false;
        }
        released_.notify_one();
    }

    template <class Rep, class Period>
    bool try_lock_for(const std::chrono::duration<Rep, Period>& wait) {
        return try_lock_until(std::chrono::steady_clock::now() + wait);
    }

    template <class Clock, class Duration>
    bool try_lock_until(const std::chrono::time_point<Clock, Duration>& deadline) {
        std::unique_lock guard(mutex_);
        if (!released_.wait_until(guard, deadline, [this] { return !held_; })) return false;
        held_ = true;
        return true;
    }

  private:
    std::mutex mutex_;  // guards held_
    std::condition_variable released_;
    bool held_ = false;
};

}  // namespace corvane
