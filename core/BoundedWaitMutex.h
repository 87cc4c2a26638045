#pragma once

#include <chrono>
#include <mutex>
#include <thread>

namespace corvane {

// A mutex whose waits can be bounded (try_lock_for), built on std::mutex::try_lock. It
// stands in for std::timed_mutex, whose timed lock goes through pthread_mutex_clocklock:
// ThreadSanitizer does not see that call and then reports every unlock as an unlock of an
// unlocked mutex. Meets the TimedLockable requirements, so std::unique_lock takes it.
class BoundedWaitMutex {
  public:
    void lock() { mutex_.lock(); }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

    template <class Rep, class Period>
    bool try_lock_for(const std::chrono::duration<Rep, Period>& wait) {
        return try_lock_until(std::chrono::steady_clock::now() + wait);
    }

    template <class Clock, class Duration>
    bool try_lock_until(const std::chrono::time_point<Clock, Duration>& deadline) {
        // The uncontended case costs one try_lock; a held mutex is polled every 50 us,
        // which is short against the 5 ms and 500 ms waits it is used for.
        while (!mutex_.try_lock()) {
            if (Clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return true;
    }

  private:
    std::mutex mutex_;
};

}  // namespace corvane
