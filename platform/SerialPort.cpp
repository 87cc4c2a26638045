#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace corvane {

namespace {

constexpr int kProbeCount = 50;     // /dev/ttyACM0..49 and /dev/ttyUSB0..49
constexpr int kWriteStallMs = 200;  // how long a full line may hold up one write

void addUnique(std::vector<std::string>& list, std::string path) {
    if (path.empty()) return;
    for (const auto& p : list) {
        if (p == path) return;
    }
    list.push_back(std::move(path));
}

}  // namespace

SerialPort::~SerialPort() { close(); }

std::vector<std::string> SerialPort::candidates(std::string_view configured,
                                                std::string_view preferred) {
    std::vector<std::string> list;
    addUnique(list, std::string(preferred));
    bool any = false;
    size_t pos = 0;
    while (pos < configured.size()) {
        size_t start = configured.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos) break;
        size_t end = configured.find_first_of(" \t", start);
        if (end == std::string_view::npos) end = configured.size();
        addUnique(list, std::string(configured.substr(start, end - start)));
        any = true;
        pos = end;
    }
    if (!any) {
        for (int i = 0; i < kProbeCount; ++i) addUnique(list, "/dev/ttyACM" + std::to_string(i));
        for (int i = 0; i < kProbeCount; ++i) addUnique(list, "/dev/ttyUSB" + std::to_string(i));
    }
    return list;
}

bool SerialPort::open(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios tio{};
    // Not shared: a second program (or a second copy of the tool) must not open it meanwhile.
    if (::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &tio) != 0) {
        ::close(fd);
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    // With O_NONBLOCK, VMIN 1 makes an empty line read as EAGAIN and a hung-up one as 0.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        return false;
    }
    portName_ = path;
    fd_.store(fd, std::memory_order_release);
    return true;
}

void SerialPort::close() {
    std::lock_guard lock(writeMutex_);
    int fd = fd_.exchange(-1, std::memory_order_acq_rel);
    if (fd >= 0) ::close(fd);
}

std::ptrdiff_t SerialPort::read(std::span<uint8_t> buffer) {
    int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0) return kReadFailed;
    ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    // 0 from a non-blocking terminal means hang-up; EIO means the other side is gone.
    return kReadFailed;
}

bool SerialPort::waitReadable(int timeoutMs) {
    int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0) return false;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

bool SerialPort::write(std::string_view text) {
    std::lock_guard lock(writeMutex_);
    int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteStallMs);
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n > 0) {
            text.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 1);
    }
    return true;
}

}  // namespace corvane
