#include "platform/MailslotServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

bool toAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// A socket file nobody reads any more: connecting to it is refused.
bool isAbandonedSocket(const sockaddr_un& address) {
    struct stat info {};
    if (::lstat(address.sun_path, &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
    int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    bool refused =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno == ECONNREFUSED;
    ::close(probe);
    return refused;
}

}  // namespace

MailslotServer::MailslotServer(std::string path) : path_(std::move(path)) {
    sockaddr_un address;
    if (!toAddress(path_, address)) return;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (isAbandonedSocket(address)) ::unlink(address.sun_path);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return;
    }
    ::chmod(address.sun_path, 0600);
    fd_ = fd;
}

MailslotServer::~MailslotServer() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
}

bool MailslotServer::waitReadable(int timeoutMs) const {
    if (fd_ < 0) return false;
    pollfd wait{fd_, POLLIN, 0};
    return ::poll(&wait, 1, timeoutMs) > 0 && (wait.revents & POLLIN) != 0;
}

std::optional<size_t> MailslotServer::read(std::span<uint8_t> buffer) {
    if (fd_ < 0) return std::nullopt;
    for (;;) {
        // MSG_TRUNC makes the call return the datagram's real size even when it is cut.
        ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        return static_cast<size_t>(n);
    }
}

}  // namespace corvane
