#include "sdk/ModuleClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sdk/ModuleWire.h"

namespace corvane::sdk {

namespace {

constexpr size_t kMaxIncoming = 8 + 1785;  // the largest message the tool writes
constexpr int kReadWaitMs = 20;

bool makePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

// The tool's mailslot folder, made the way the tool makes it.
std::string mailslotFolder() {
    const char* runtime = std::getenv("CORVANE_RUNTIME_DIR");
    std::string base;
    if (runtime && *runtime) {
        base = runtime;
    } else if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        base = std::string(xdg) + "/corvane";
    } else {
        base = "/tmp/corvane-" + std::to_string(::getuid());
    }
    for (size_t slash = base.find('/', 1); slash != std::string::npos;
         slash = base.find('/', slash + 1)) {
        ::mkdir(base.substr(0, slash).c_str(), 0700);
    }
    for (const std::string& folder : {base, base + "/mailslot", base + "/mailslot/RVC"}) {
        if (!makePrivateFolder(folder)) return {};
    }
    return base + "/mailslot/RVC";
}

bool toAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The encoders below append fields in wire order; these hold them to the layout they append.
static_assert(at::kSendPriority == at::kSendDgn + 4 && at::kSendLength == at::kSendPriority + 1 &&
              kSendHeader == at::kSendLength + 2);
static_assert(at::kSendFromDgn == at::kSendFromSa + 1 &&
              at::kSendFromPriority == at::kSendFromDgn + 4 &&
              at::kSendFromLength == at::kSendFromPriority + 1 &&
              kSendFromHeader == at::kSendFromLength + 2);
static_assert(at::kMessageSa == at::kMessageDgn + 4 && at::kMessageLength == at::kMessageSa + 1 &&
              kMessageHeader == at::kMessageLength + 2);
static_assert(at::kTokenArgument == at::kToken + 4);

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

ModuleClient::ModuleClient() = default;

ModuleClient::~ModuleClient() {
    if (registered_) unregister();
    closeSlot();
}

bool ModuleClient::openSlot(const std::string& slotName) {
    std::string folder = mailslotFolder();
    if (folder.empty() || slotName.empty() || slotName.find('/') != std::string::npos) {
        return false;
    }
    slotPath_ = folder + "/" + slotName;
    toolPath_ = folder + "/" + kToolSlot;
    sockaddr_un address;
    if (!toAddress(slotPath_, address)) return false;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::unlink(slotPath_.c_str());  // a slot left by an earlier run of this module
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    // Requests wait at most a second for room in the tool's mailslot.
    timeval timeout{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    int size = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    fd_ = fd;
    reading_ = true;
    reader_ = std::thread([this] { readLoop(); });
    return true;
}

void ModuleClient::closeSlot() {
    reading_ = false;
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(slotPath_.c_str());
    }
    fd_ = -1;
}

void ModuleClient::readLoop() {
    std::vector<uint8_t> buffer(kMaxIncoming);
    while (reading_) {
        pollfd wait{fd_, POLLIN, 0};
        if (::poll(&wait, 1, kReadWaitMs) <= 0) continue;
        ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n < 0) continue;
        {
            std::lock_guard lock(queueMutex_);
            queue_.emplace_back(buffer.begin(), buffer.begin() + n);
        }
        queueChanged_.notify_one();
    }
}

bool ModuleClient::registerAs(const std::string& slotName, std::chrono::milliseconds wait) {
    if (registered_ || fd_ >= 0) return false;
    if (!openSlot(slotName)) return false;
    std::vector<uint8_t> request{code::kRegister};
    request.insert(request.end(), slotName.begin(), slotName.end());
    request.push_back(0);
    if (!sendRaw(request)) return false;

    auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(queueMutex_);
    for (;;) {
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            auto event = decodeEvent(*it);
            if (event && event->type == ModuleEvent::Type::Registered) {
                token_ = event->token;
                registered_ = true;
                queue_.erase(it);
                return true;
            }
        }
        if (queueChanged_.wait_until(lock, deadline) == std::cv_status::timeout) return false;
    }
}

bool ModuleClient::sendRaw(std::span<const uint8_t> request) {
    if (fd_ < 0) return false;
    sockaddr_un address;
    if (!toAddress(toolPath_, address)) return false;
    for (;;) {
        ssize_t n = ::sendto(fd_, request.data(), request.size(), MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (n < 0 && errno == EINTR) continue;
        return n == static_cast<ssize_t>(request.size());
    }
}

bool ModuleClient::tokenRequest(uint8_t code, std::span<const uint8_t> arguments) {
    if (!registered_) return false;
    std::vector<uint8_t> request{code};
    putU32(request, token_);
    request.insert(request.end(), arguments.begin(), arguments.end());
    return sendRaw(request);
}

bool ModuleClient::addAddressFilter(uint8_t sa) {
    return tokenRequest(code::kAddAddress, {&sa, 1});
}
bool ModuleClient::removeAddressFilter(uint8_t sa) {
    return tokenRequest(code::kRemoveAddress, {&sa, 1});
}
bool ModuleClient::addLegacyRawFilter(uint8_t sa) {
    return tokenRequest(code::kAddLegacyRaw, {&sa, 1});
}
bool ModuleClient::removeLegacyRawFilter(uint8_t sa) {
    return tokenRequest(code::kRemoveLegacyRaw, {&sa, 1});
}
bool ModuleClient::addRawFilter(uint8_t sa) { return tokenRequest(code::kAddRaw, {&sa, 1}); }
bool ModuleClient::removeRawFilter(uint8_t sa) { return tokenRequest(code::kRemoveRaw, {&sa, 1}); }

bool ModuleClient::addDgnFilter(uint32_t dgn) {
    std::vector<uint8_t> argument;
    putU32(argument, dgn);
    return tokenRequest(code::kAddDgn, argument);
}

bool ModuleClient::removeDgnFilter(uint32_t dgn) {
    std::vector<uint8_t> argument;
    putU32(argument, dgn);
    return tokenRequest(code::kRemoveDgn, argument);
}

bool ModuleClient::send(uint32_t dgn, uint8_t priority, std::span<const uint8_t> data) {
    if (data.size() > kMaxSendData) return false;
    std::vector<uint8_t> request{code::kSend};
    putU32(request, dgn);
    request.push_back(priority);
    putU16(request, static_cast<uint16_t>(data.size()));
    request.insert(request.end(), data.begin(), data.end());
    return sendRaw(request);
}

bool ModuleClient::sendHousekeeping(uint32_t dgn, uint8_t priority, std::span<const uint8_t> data) {
    if (data.size() > kMaxSendData) return false;
    std::vector<uint8_t> request{code::kHousekeeping};
    putU32(request, dgn);
    request.push_back(priority);
    putU16(request, static_cast<uint16_t>(data.size()));
    request.insert(request.end(), data.begin(), data.end());
    return sendRaw(request);
}

bool ModuleClient::sendFrom(uint8_t sa, uint32_t dgn, uint8_t priority,
                            std::span<const uint8_t> data) {
    if (data.size() > kMaxSendFromData) return false;
    std::vector<uint8_t> request{code::kSendFrom, sa};
    putU32(request, dgn);
    request.push_back(priority);
    putU16(request, static_cast<uint16_t>(data.size()));
    request.insert(request.end(), data.begin(), data.end());
    return sendRaw(request);
}

bool ModuleClient::simulateReception(uint32_t dgn, uint8_t sa, std::span<const uint8_t> data) {
    if (data.size() > kMaxSimulateData) return false;
    std::vector<uint8_t> request{code::kSimulate};
    putU32(request, dgn);
    request.push_back(sa);
    putU16(request, static_cast<uint16_t>(data.size()));
    request.insert(request.end(), data.begin(), data.end());
    return sendRaw(request);
}

bool ModuleClient::setScan(bool on) {
    return tokenRequest(on ? code::kScanOn : code::kScanOff, {});
}

bool ModuleClient::setMode(uint8_t mode, uint8_t echo) {
    const uint8_t arguments[] = {mode, echo};
    return tokenRequest(code::kMode, arguments);
}

bool ModuleClient::unregister() {
    if (!tokenRequest(code::kUnregister, {})) return false;
    registered_ = false;
    return true;
}

std::optional<ModuleEvent> ModuleClient::receive(std::chrono::milliseconds wait) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(queueMutex_);
    for (;;) {
        while (!queue_.empty()) {
            std::vector<uint8_t> bytes = std::move(queue_.front());
            queue_.pop_front();
            if (auto event = decodeEvent(bytes)) return event;
        }
        if (queueChanged_.wait_until(lock, deadline) == std::cv_status::timeout && queue_.empty()) {
            return std::nullopt;
        }
    }
}

}  // namespace corvane::sdk
