#include "platform/TcpStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "platform/TcpPeerOwner.h"

namespace corvane {

namespace {

constexpr auto kSendLimit = std::chrono::seconds(1);

}  // namespace

TcpStream::TcpStream(int fd) : fd_(fd) {
    if (fd_ < 0) return;
    timeval timeout{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

TcpStream::~TcpStream() { close(); }

std::optional<uint32_t> TcpStream::peerUserId() const {
    if (fd_ < 0) return std::nullopt;
    return TcpPeerOwner::ofConnection(fd_);
}

TcpStream::TcpStream(TcpStream&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

TcpStream TcpStream::connectTo(const std::string& address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return TcpStream();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return TcpStream();
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return TcpStream();
    }
    return TcpStream(fd);
}

bool TcpStream::waitReadable(int timeoutMs) const {
    if (fd_ < 0) return false;
    pollfd wait{fd_, POLLIN, 0};
    return ::poll(&wait, 1, timeoutMs) > 0;
}

long TcpStream::receive(std::span<uint8_t> buffer) {
    if (fd_ < 0) return -1;
    for (;;) {
        ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? -1 : static_cast<long>(n);
    }
}

bool TcpStream::send(std::string_view bytes) {
    if (fd_ < 0) return false;
    // One second for the whole text, not for each piece of it: a peer that takes a trickle
    // would otherwise hold the sender for as long as it likes.
    const auto deadline = std::chrono::steady_clock::now() + kSendLimit;
    while (!bytes.empty()) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd wait{fd_, POLLOUT, 0};
        ::poll(&wait, 1, static_cast<int>(left.count()) + 1);
    }
    return true;
}

bool TcpStream::shutdownSend() { return fd_ >= 0 && ::shutdown(fd_, SHUT_WR) == 0; }

void TcpStream::shutdownBoth() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void TcpStream::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace corvane
