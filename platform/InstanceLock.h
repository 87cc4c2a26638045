#pragma once

#include <optional>
#include <string>

namespace corvane {

struct InstanceLockAttempt;

// The single-instance rule: the first copy of the program holds an exclusive lock on
// "<runtime>/corvane.lock" for as long as it lives; a second copy cannot take it and ends.
// The kernel drops the lock with the process, so it never outlives the last instance, not even
// after a crash.
class InstanceLock {
  public:
    // Why a lock was not taken.
    enum class Refusal {
        None,
        HeldElsewhere,     // another copy of the program runs
        FolderUnusable,    // the runtime folder is refused (see checkRuntimeDirectory)
        LockFileUnusable,  // the lock file cannot be opened (a symbolic link, no rights)
    };

    // The lock, or why not, with the runtime folder and the reason for messages.
    static InstanceLockAttempt tryAcquire();
    // The lock, or nullopt for any refusal.
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
    static InstanceLockAttempt tryAcquireAt(const std::string& path);
    void release();

    int fd_ = -1;
};

struct InstanceLockAttempt {
    std::optional<InstanceLock> lock;
    InstanceLock::Refusal refusal = InstanceLock::Refusal::None;
    std::string folder;  // the runtime folder
    std::string reason;  // what is wrong with the folder or the lock file
};

}  // namespace corvane
