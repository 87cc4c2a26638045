#include "adapters/SocketCanConduit.h"

#include <chrono>

#include "core/RVCManager.h"
#include "debugport/DebugPrint.h"

namespace corvane {

namespace {

constexpr auto kLostPause = std::chrono::milliseconds(1);

}  // namespace

SocketCanConduit::SocketCanConduit(SettingsStore& settings, TransmitPath& transmit,
                                   RVCManager& manager, UserNotifier& notifier,
                                   std::string interface)
    : Conduit(settings, transmit),
      manager_(manager),
      notifier_(notifier),
      interfaceSetting_(settings, "Corvane", "SocketCanInterface", "can0"),
      override_(std::move(interface)) {}

SocketCanConduit::~SocketCanConduit() {
    disconnect();
    std::lock_guard lock(lifecycleMutex_);
    if (reader_.joinable()) reader_.join();
}

std::string SocketCanConduit::interfaceName() const {
    std::lock_guard lock(lifecycleMutex_);
    return override_.empty() ? interfaceSetting_.value() : override_;
}

void SocketCanConduit::setInterface(const std::string& name) {
    std::lock_guard lock(lifecycleMutex_);
    interfaceSetting_.set(name);
    override_.clear();
}

std::optional<RvcFrame> SocketCanConduit::toRvcFrame(const CanSocketFrame& frame) {
    if (!frame.extended || frame.remote || frame.error) return std::nullopt;
    const uint8_t n = frame.length < 8 ? frame.length : 8;
    return makeFrame(unpackIdentifier(frame.id), 0, n,
                     std::span<const uint8_t>(frame.data.data(), n));
}

std::optional<CanSocketFrame> SocketCanConduit::toSocketFrame(uint32_t dgn, uint8_t sa,
                                                              uint8_t priority, uint16_t length,
                                                              const uint8_t* data) {
    if (length > 8) return std::nullopt;
    CanSocketFrame f;
    f.id = packIdentifier(priority, dgn, sa);
    f.extended = true;
    f.length = static_cast<uint8_t>(length);
    for (size_t i = 0; i < length && data; ++i) f.data[i] = data[i];
    return f;
}

int SocketCanConduit::connect() {
    std::lock_guard lock(lifecycleMutex_);
    if (connected()) return 1;
    if (getState() == kDisabled) return 0;
    if (reader_.joinable()) reader_.join();  // the reader of a lost interface has ended
    const std::string name = override_.empty() ? interfaceSetting_.value() : override_;
    switch (socket_.open(name)) {
        case CanSocket::Result::Ok:
            break;
        case CanSocket::Result::Unsupported:
            notifier_.showMessage(kUnsupportedText, kErrorTitle);
            return 0;
        case CanSocket::Result::NoInterface:
            notifier_.showMessage("There is no CAN interface named \"" + name + "\".", kErrorTitle);
            return 0;
        default:
            notifier_.showMessage("Could not open the CAN interface \"" + name + "\".",
                                  kErrorTitle);
            return 0;
    }
    stopping_ = false;
    connected_.store(true, std::memory_order_release);
    setState(kConnected);
    DebugPrint("SocketCAN adapter on %s\r\n", name.c_str());
    manager_.deviceTable().addToolEntries();
    reader_ = std::thread([this] { readerLoop(); });
    return 1;
}

int SocketCanConduit::reconnect() {
    disconnect();
    return connect();
}

void SocketCanConduit::disconnect() {
    std::lock_guard lock(lifecycleMutex_);
    if (!connected()) return;
    stopping_ = true;
    connected_.store(false, std::memory_order_release);
    if (reader_.joinable()) reader_.join();
    shutdownLocked();
}

void SocketCanConduit::shutdownLocked() {
    connected_.store(false, std::memory_order_release);
    {
        std::lock_guard lock(sendMutex_);
        socket_.close();
    }
    manager_.reset();
    setState(kDisconnected);
}

void SocketCanConduit::readerLoop() {
    CanSocketFrame frame;
    while (connected()) {
        switch (socket_.read(frame, kReadWaitMs)) {
            case CanSocket::Result::Ok:
                if (auto f = toRvcFrame(frame)) manager_.intake(*f);
                break;
            case CanSocket::Result::Timeout:
                break;
            default:
                handleLost();
                return;
        }
    }
}

void SocketCanConduit::handleLost() {
    DebugPrint("SocketCAN interface lost\r\n");
    // A disconnect in progress holds the lock and waits for this thread: leave it the work.
    while (!stopping_.load()) {
        if (lifecycleMutex_.try_lock()) {
            if (connected()) shutdownLocked();
            lifecycleMutex_.unlock();
            return;
        }
        std::this_thread::sleep_for(kLostPause);
    }
}

void SocketCanConduit::sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                                 const uint8_t* data) {
    auto f = toSocketFrame(dgn, sa, priority, length, data);
    if (!f) return;
    std::lock_guard lock(sendMutex_);
    if (connected()) socket_.write(*f);
}

}  // namespace corvane
