#include "adapters/TarvikConduit.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "core/CanIdentifier.h"
#include "core/RVCManager.h"
#include "core/RvcFrame.h"
#include "debugport/DebugPrint.h"

namespace corvane {

namespace {

constexpr FtDriver::Status kNoDeviceCode = 2;
constexpr FtDriver::Status kNoAdapterCode = 0;
constexpr auto kStartSettle = std::chrono::milliseconds(250);
constexpr auto kStartRoundPause = std::chrono::milliseconds(10);
constexpr int kStartRounds = 100;
constexpr uint8_t kDataRateBase = 0x80 + '0';
constexpr int32_t kDefaultRate = 2;  // 250 kbit/s

std::string formatCode(const char* text, int code) {
    char line[64];
    std::snprintf(line, sizeof line, text, code);
    return line;
}

// The state byte of a reply to the state command, when it has one.
std::optional<uint8_t> stateByte(const std::vector<uint8_t>& reply) {
    if (reply.empty()) return std::nullopt;
    return reply.front();
}

}  // namespace

TarvikConduit::TarvikConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                             AdapterSettings& adapterSettings, FtDriver& driver,
                             UserNotifier& notifier)
    : Conduit(settings, transmit),
      manager_(manager),
      adapterSettings_(adapterSettings),
      driver_(driver),
      notifier_(notifier),
      reader_(*this, manager, *this) {}

TarvikConduit::~TarvikConduit() { reader_.stop(); }

uint8_t TarvikConduit::dataRateCommand(int32_t rate) {
    if (rate < 0 || rate > 3) {
        DebugPrint("TarvikBaudRate %d is not 0-3: using 2 (250 kbps)\r\n", rate);
        rate = kDefaultRate;
    }
    return static_cast<uint8_t>(kDataRateBase + rate);
}

void TarvikConduit::notify(const std::string& text) { notifier_.showMessage(text, kUsbErrorTitle); }

std::shared_ptr<UsbCanPort> TarvikConduit::currentPort() {
    std::lock_guard lock(portMutex_);
    return port_;
}

void TarvikConduit::closePort() {
    std::shared_ptr<UsbCanPort> port;
    {
        std::lock_guard lock(portMutex_);
        port.swap(port_);
    }
    // Closed outside the lock: closing waits for the firmware to stop.
    if (port) port->close();
}

TarvikConduit::Found TarvikConduit::findAdapter() {
    Found found;
    uint32_t count = 0;
    FtDriver::Status s = driver_.deviceCount(count);
    if (s != FtDriver::kOk || count == 0) {
        found.code = static_cast<int>(s != FtDriver::kOk ? s : kNoDeviceCode);
        return found;
    }
    found.code = kNoAdapterCode;
    std::vector<std::string> descriptions;
    if (driver_.descriptions(descriptions) != FtDriver::kOk) return found;
    const std::string_view prefix = kDescriptionPrefix;
    for (size_t i = 0; i < descriptions.size(); ++i) {
        if (!descriptions[i].starts_with(prefix)) continue;
        std::string serial;
        if (driver_.serialNumber(static_cast<uint32_t>(i), serial) == FtDriver::kOk) {
            found.serial = serial;
            return found;
        }
    }
    return found;
}

bool TarvikConduit::startFirmware(UsbCanPort& port) {
    std::vector<uint8_t> reply;
    const std::array<uint8_t, 2> start = {0x00, kStartCommand};
    if (port.command(kReadStateCommand, reply) == UsbCanPort::kOk &&
        stateByte(reply) == kStateNeedsStart) {
        port.write(start);  // the firmware does not answer its start
    }
    std::this_thread::sleep_for(kStartSettle);

    if (port.command(kReadStateCommand, reply) != UsbCanPort::kOk) {
        notify(kNotRespondingText);
        notify(kFirmwareFaultText);
        return false;
    }
    auto state = stateByte(reply);
    if (state == kStateRunning) return true;
    if (state != kStateNeedsStart) {
        notify(kCannotReadStateText);
        notify(kFirmwareFaultText);
        return false;
    }
    for (int round = 0; round < kStartRounds; ++round) {
        if (port.command(kReadStateCommand, reply) == UsbCanPort::kOk &&
            stateByte(reply) == kStateNeedsStart) {
            port.write(start);
        }
        if (port.command(kReadStateCommand, reply) == UsbCanPort::kOk &&
            stateByte(reply) == kStateRunning) {
            return true;
        }
        std::this_thread::sleep_for(kStartRoundPause);
    }
    notify(kFirmwareFaultText);
    return false;
}

int TarvikConduit::connect() {
    if (getState() == kDisabled) return 0;
    // The previous link goes before the network is forgotten, so that none of its frames
    // arrives after the reset.
    reader_.stop();
    manager_.reset();
    Conduit::setState(kDisconnected);
    return reader_.start() ? 1 : 0;
}

bool TarvikConduit::openLink() {
    Found found = findAdapter();
    if (!found.serial) {
        notify(formatCode(kCannotFindText, found.code));
        return false;
    }
    auto port = std::make_shared<UsbCanPort>(driver_, *found.serial,
                                             [this](UsbCanPort& p) { deliverFrames(p); });
    {
        std::lock_guard lock(portMutex_);
        port_ = port;
    }
    if (FtDriver::Status s = port->open(); s != FtDriver::kOk) {
        notify(formatCode(kCannotInitializeText, static_cast<int>(s)));
        closePort();
        Conduit::setState(kFailed);
        return false;
    }
    return true;
}

bool TarvikConduit::readyLink() {
    auto port = currentPort();
    if (!startFirmware(*port)) {
        Conduit::setState(kFailed);
        return false;
    }
    std::vector<uint8_t> reply;
    bool rateSet = port->command(dataRateCommand(adapterSettings_.dataRate().value()), reply) ==
                   UsbCanPort::kOk;
    if (!rateSet) notify(kDataRateErrorText);
    port->setConfigured();
    if (!port->running()) {
        Conduit::setState(kFailed);
        notify(kToolModeErrorText);
        return false;
    }
    return true;
}

ReaderThread::Read TarvikConduit::readLink() {
    auto port = currentPort();
    if (port && port->readStep()) return ReaderThread::Read::More;
    DebugPrint("FT-series adapter %s is gone: disconnected\r\n",
               port ? port->serialNumber().c_str() : "");
    return ReaderThread::Read::Lost;
}

void TarvikConduit::closeLink(bool) { closePort(); }

int TarvikConduit::reconnect() { return connect(); }

void TarvikConduit::disconnect() {
    reader_.stop();
    manager_.reset();
    if (getState() != kDisabled) Conduit::setState(kDisconnected);
}

void TarvikConduit::setState(ConduitState value) {
    if (value == kDisabled) disconnect();
    Conduit::setState(value);
}

void TarvikConduit::sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                              const uint8_t* data) {
    if (length > 8) return;
    if (auto port = currentPort()) {
        port->sendFramePayload(packIdentifier(priority, dgn, sa), data, length);
    }
}

void TarvikConduit::deliverFrames(UsbCanPort& port) {
    while (auto record = port.takeFrame()) {
        size_t held = std::min<size_t>(record->length, 8);
        manager_.intake(makeFrame(unpackIdentifier(record->identifier), record->timestamp,
                                  record->length,
                                  std::span<const uint8_t>(record->data.data(), held)));
    }
    if (const uint64_t dropped = port.takeDroppedFrames(); dropped > 0)
        manager_.droppedWork().countFullRing(dropped);
}

}  // namespace corvane
