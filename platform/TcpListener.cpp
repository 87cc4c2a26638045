#include "platform/TcpListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane {

TcpListener::TcpListener() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

TcpListener::~TcpListener() {
    close();
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool TcpListener::listen(const std::string& address, uint16_t port) {
    close();
    error_.clear();
    auto fail = [this](const char* step, int fd) {
        error_ = std::string(step) + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    };
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
        error_ = "not an IPv4 address: " + address;
        return false;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail("socket", fd);
    int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        return fail("SO_REUSEADDR", fd);
    }
    socklen_t size = sizeof at;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) return fail("bind", fd);
    if (::listen(fd, SOMAXCONN) != 0) return fail("listen", fd);
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        return fail("getsockname", fd);
    }
    fd_ = fd;
    port_ = ntohs(at.sin_port);
    return true;
}

std::optional<TcpStream> TcpListener::accept() {
    if (fd_ < 0 || wakeRead_ < 0) return std::nullopt;
    for (;;) {
        pollfd waits[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        int n = ::poll(waits, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || waits[1].revents != 0) return std::nullopt;
        if ((waits[0].revents & POLLIN) == 0) return std::nullopt;
        int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) return TcpStream(client);
        // A client that gave up between poll and accept is no reason to stop listening.
        if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
        return std::nullopt;
    }
}

void TcpListener::interrupt() {
    if (wakeWrite_ < 0) return;
    char byte = 1;
    // The byte stays in the pipe, so every later accept() gives up as well.
    [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &byte, 1);
}

void TcpListener::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    port_ = 0;
}

}  // namespace corvane
