#include "tests/faults/Unchangeable.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace corvane::test {

Unchangeable::Unchangeable(std::string path) : path_(std::move(path)) {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) return;
    mode_ = info.st_mode & 07777;
    if (::geteuid() != 0) {
        active_ = ::chmod(path_.c_str(), S_ISDIR(info.st_mode) ? 0555 : 0444) == 0;
        return;
    }
    active_ = setImmutable(true);
}

Unchangeable::~Unchangeable() {
    if (!active_) return;
    if (::geteuid() == 0) {
        setImmutable(false);
    } else {
        ::chmod(path_.c_str(), mode_);
    }
}

bool Unchangeable::setImmutable(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

}  // namespace corvane::test
