#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/RuntimeDir.h"

namespace corvane {

std::optional<InstanceLock> InstanceLock::acquire() {
    auto runtime = runtimeDirectory();
    if (!runtime) return std::nullopt;
    return acquireAt(*runtime + "/corvane.lock");
}

std::optional<InstanceLock> InstanceLock::acquireAt(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return std::nullopt;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return InstanceLock(fd);
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
