#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/RuntimeDir.h"

namespace corvane {

InstanceLockAttempt InstanceLock::tryAcquire() {
    RuntimeDirCheck runtime = checkRuntimeDirectory();
    if (!runtime.usable()) {
        InstanceLockAttempt refused;
        refused.refusal = Refusal::FolderUnusable;
        refused.folder = runtime.path;
        refused.reason = runtime.problem;
        return refused;
    }
    InstanceLockAttempt attempt = tryAcquireAt(runtime.path + "/corvane.lock");
    attempt.folder = runtime.path;
    return attempt;
}

std::optional<InstanceLock> InstanceLock::acquire() { return std::move(tryAcquire().lock); }

std::optional<InstanceLock> InstanceLock::acquireAt(const std::string& path) {
    return std::move(tryAcquireAt(path).lock);
}

InstanceLockAttempt InstanceLock::tryAcquireAt(const std::string& path) {
    InstanceLockAttempt attempt;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        attempt.refusal = Refusal::LockFileUnusable;
        attempt.reason = path + ": " + std::strerror(errno);
        return attempt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        attempt.refusal = error == EWOULDBLOCK ? Refusal::HeldElsewhere : Refusal::LockFileUnusable;
        if (error != EWOULDBLOCK) attempt.reason = path + ": " + std::strerror(error);
        return attempt;
    }
    attempt.lock = InstanceLock(fd);
    return attempt;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

InstanceLock::~InstanceLock() { release(); }

void InstanceLock::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace corvane
