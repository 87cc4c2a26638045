#include "adapters/SocketCanConduit.h"

#include "core/RVCManager.h"
#include "debugport/DebugPrint.h"
#include "platform/CanErrorFrame.h"

namespace corvane {

SocketCanConduit::SocketCanConduit(SettingsStore& settings, TransmitPath& transmit,
                                   RVCManager& manager, UserNotifier& notifier,
                                   std::string interface)
    : Conduit(settings, transmit),
      manager_(manager),
      notifier_(notifier),
      interfaceSetting_(settings, "Corvane", "SocketCanInterface", "can0"),
      override_(std::move(interface)),
      reader_(*this, manager, *this) {}

SocketCanConduit::~SocketCanConduit() { reader_.stop(); }

std::string SocketCanConduit::interfaceName() const {
    std::lock_guard lock(reader_.mutex());
    return override_.empty() ? interfaceSetting_.value() : override_;
}

void SocketCanConduit::setInterface(const std::string& name) {
    std::lock_guard lock(reader_.mutex());
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

int SocketCanConduit::connect() { return reader_.start() ? 1 : 0; }

int SocketCanConduit::reconnect() {
    reader_.stop();
    return connect();
}

void SocketCanConduit::disconnect() { reader_.stop(); }

bool SocketCanConduit::openLink() {
    const std::string name = override_.empty() ? interfaceSetting_.value() : override_;
    switch (socket_.open(name)) {
        case CanSocket::Result::Ok:
            break;
        case CanSocket::Result::Unsupported:
            notifier_.showMessage(kUnsupportedText, kErrorTitle);
            return false;
        case CanSocket::Result::NoInterface:
            notifier_.showMessage("There is no CAN interface named \"" + name + "\".", kErrorTitle);
            return false;
        default:
            notifier_.showMessage("Could not open the CAN interface \"" + name + "\".",
                                  kErrorTitle);
            return false;
    }
    DebugPrint("SocketCAN adapter on %s\r\n", name.c_str());
    return true;
}

ReaderThread::Read SocketCanConduit::readLink() {
    CanSocketFrame frame;
    switch (socket_.read(frame, kReadWaitMs)) {
        case CanSocket::Result::Ok:
            if (frame.error) {
                manager_.busErrors().note(decodeCanErrorFrame(
                    frame.id, std::span<const uint8_t>(frame.data.data(), frame.length)));
            } else if (auto f = toRvcFrame(frame)) {
                manager_.intake(*f);
            }
            if (const uint64_t dropped = socket_.takeNewDrops(); dropped > 0)
                manager_.droppedWork().countFullRing(dropped);
            return ReaderThread::Read::More;
        case CanSocket::Result::Timeout:
            return ReaderThread::Read::More;
        default:
            DebugPrint("SocketCAN interface lost\r\n");
            return ReaderThread::Read::Lost;
    }
}

void SocketCanConduit::closeLink(bool) {
    std::lock_guard lock(sendMutex_);
    socket_.close();
}

void SocketCanConduit::sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                                 const uint8_t* data) {
    auto f = toSocketFrame(dgn, sa, priority, length, data);
    if (!f) return;
    std::lock_guard lock(sendMutex_);
    if (connected()) socket_.write(*f);
}

}  // namespace corvane
