#include "platform/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace corvane {

PseudoTerminal::~PseudoTerminal() { close(); }

bool PseudoTerminal::open() {
    close();
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return false;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || ::tcgetattr(slave, &tio) != 0) {
        if (slave >= 0) ::close(slave);
        ::close(master);
        return false;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    int flags = ::fcntl(master, F_GETFL);
    ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
    slavePath_ = name;
    keepSlave_ = slave;
    master_.store(master, std::memory_order_release);
    return true;
}

void PseudoTerminal::close() {
    int master = master_.exchange(-1, std::memory_order_acq_rel);
    if (keepSlave_ >= 0) ::close(keepSlave_);
    keepSlave_ = -1;
    if (master >= 0) ::close(master);
}

std::ptrdiff_t PseudoTerminal::read(std::span<uint8_t> buffer) {
    int fd = master_.load(std::memory_order_acquire);
    if (fd < 0) return kFailed;
    ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return kFailed;
}

bool PseudoTerminal::waitReadable(int timeoutMs) {
    int fd = master_.load(std::memory_order_acquire);
    if (fd < 0) return false;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

std::ptrdiff_t PseudoTerminal::write(std::string_view text, int timeoutMs) {
    int fd = master_.load(std::memory_order_acquire);
    if (fd < 0) return kFailed;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return kFailed;
        if (std::chrono::steady_clock::now() >= deadline) break;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 1);
    }
    return static_cast<std::ptrdiff_t>(done);
}

}  // namespace corvane
