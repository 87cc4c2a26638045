#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/SerialPortLineCutter.h"

namespace corvane {

namespace {

constexpr int kProbeCount = 50;     // /dev/ttyACM0..49 and /dev/ttyUSB0..49
constexpr int kWriteStallMs = 200;  // how long a full line may hold up one write
constexpr int kReaderPollMs = 1;    // the reader's longest wait between reads
constexpr size_t kReadChunk = 1024;

void addUnique(std::vector<std::string>& list, std::string path) {
    if (path.empty()) return;
    for (const auto& p : list) {
        if (p == path) return;
    }
    list.push_back(std::move(path));
}

}  // namespace

SerialPort::~SerialPort() {
    stopReader();
    if (reader_.joinable()) reader_.join();
    close();
}

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

void SerialPort::startReader(LineHandler onLine, FailureHandler onFailure, std::string earlier) {
    stopReader();
    if (reader_.joinable()) reader_.join();
    onLine_ = std::move(onLine);
    onFailure_ = std::move(onFailure);
    earlier_ = std::move(earlier);
    // Set before the thread starts, so that it never sees itself stopped at birth.
    running_.store(true, std::memory_order_release);
    reader_ = std::thread([this] { readerLoop(); });
}

void SerialPort::stopReader() {
    running_.store(false, std::memory_order_release);
    if (reader_.joinable() && !onReaderThread()) reader_.join();
}

void SerialPort::readerLoop() {
    readerId_.store(std::this_thread::get_id());
    SerialPortLineCutter cutter;
    auto deliver = [this](std::string_view line) {
        if (onLine_) onLine_(line);
    };
    cutter.feed(std::span(reinterpret_cast<const uint8_t*>(earlier_.data()), earlier_.size()),
                deliver);
    uint8_t buffer[kReadChunk];
    while (running_.load(std::memory_order_acquire)) {
        std::ptrdiff_t n = read(buffer);
        if (n == kReadFailed) {
            // Stopped on purpose while the port was being closed: not a failure.
            if (!running_.exchange(false, std::memory_order_acq_rel)) break;
            if (onFailure_) onFailure_();
            break;
        }
        if (n == 0) {
            waitReadable(kReaderPollMs);
            continue;
        }
        cutter.feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), deliver);
    }
    readerId_.store(std::thread::id{});
}

}  // namespace corvane
