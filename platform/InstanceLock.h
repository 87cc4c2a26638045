#pragma once

#include <optional>
#include <string>

namespace corvane {

// The single-instance rule: the first copy of the program holds an exclusive lock on
// "<runtime>/corvane.lock" for as long as it lives; a second copy cannot take it and ends.
// The kernel drops the lock with the process, so it never outlives the last instance, not even
// after a crash.
class InstanceLock {
  public:
    // The lock, or nullopt when another instance holds it or the runtime folder is unusable.
    static std::optional<InstanceLock> acquire();
    // The same on a given lock file (tests).
    static std::optional<InstanceLock> acquireAt(const std::string& path);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

  private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    void release();

    int fd_ = -1;
};

}  // namespace corvane
