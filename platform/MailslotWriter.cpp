#include "platform/MailslotWriter.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace corvane {

MailslotWriter::MailslotWriter(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

MailslotWriter::~MailslotWriter() { close(); }

MailslotWriter::MailslotWriter(MailslotWriter&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

MailslotWriter& MailslotWriter::operator=(MailslotWriter&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool MailslotWriter::write(std::span<const uint8_t> message) const {
    return tryWrite(message) == Attempt::Written;
}

MailslotWriter::Attempt MailslotWriter::tryWrite(std::span<const uint8_t> message) const {
    if (fd_ < 0) return Attempt::Failed;
    for (;;) {
        ssize_t n = ::send(fd_, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Attempt::Full;
        return n == static_cast<ssize_t>(message.size()) ? Attempt::Written : Attempt::Failed;
    }
}

bool MailslotWriter::waitWritable(int timeoutMs) const {
    if (fd_ < 0) return true;
    // A connected datagram socket polls writable once the reader's queue has room.
    pollfd wait{fd_, POLLOUT, 0};
    return ::poll(&wait, 1, timeoutMs) > 0;
}

void MailslotWriter::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace corvane
