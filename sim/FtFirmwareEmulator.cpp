#include "sim/FtFirmwareEmulator.h"

#include <algorithm>

#include "core/CanIdentifier.h"

namespace corvane::sim {

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;

constexpr uint8_t kReplyMarker = 0x00;
constexpr uint8_t kTransmitMarker = 0xA0;
constexpr uint8_t kFrameMarker = 0x80;  // a received frame, flag bits 6 and 5 clear

constexpr uint8_t kReadState = 0x80;
constexpr uint8_t kStart = 0xD2;
constexpr uint8_t kStop = 0x93;
constexpr uint8_t kRateFirst = 0xB0;
constexpr uint8_t kRateLast = 0xB3;
constexpr uint8_t kRunning = 0xCC;
constexpr uint8_t kNotStarted = 0x55;

constexpr size_t kToolByteLog = 1 << 20;
constexpr size_t kToolFrameLog = 10000;
constexpr size_t kTransmitHeader = 9;  // A0, identifier (4), three zero bytes, length
constexpr auto kPumpInterval = std::chrono::milliseconds(2);

void putEscaped(std::deque<uint8_t>& out, uint8_t byte) {
    out.push_back(byte);
    if (byte == kDle) out.push_back(kDle);
}

}  // namespace

std::optional<std::vector<uint8_t>> FtFirmwareEmulator::LinkReader::push(uint8_t byte) {
    // 0 idle, 1 DLE seen, 2 payload, 3 DLE inside the payload.
    switch (state_) {
        case 0:
            if (byte == kDle) state_ = 1;
            return std::nullopt;
        case 1:
            state_ = byte == kStx ? 2 : 0;
            buffer_.clear();
            overflow_ = false;
            return std::nullopt;
        case 2:
            if (byte == kDle) {
                state_ = 3;
            } else if (buffer_.size() < kLimit) {
                buffer_.push_back(byte);
            } else {
                overflow_ = true;
            }
            return std::nullopt;
        default:
            break;
    }
    if (byte == kEtx) {
        state_ = 0;
        uint8_t sum = 0;
        for (uint8_t b : buffer_) sum ^= b;
        if (overflow_ || buffer_.empty() || sum != 0) return std::nullopt;
        buffer_.pop_back();  // the checksum
        return buffer_;
    }
    if (byte == kStx) {
        buffer_.clear();
        overflow_ = false;
        state_ = 2;
        return std::nullopt;
    }
    if (buffer_.size() < kLimit) {
        buffer_.push_back(byte);
    } else {
        overflow_ = true;
    }
    state_ = 2;
    return std::nullopt;
}

FtFirmwareEmulator::FtFirmwareEmulator(SimulatedVehicle* vehicle)
    : FtFirmwareEmulator(vehicle, Options{}) {}

FtFirmwareEmulator::FtFirmwareEmulator(SimulatedVehicle* vehicle, Options options)
    : vehicle_(vehicle), options_(std::move(options)) {
    powerOnLocked();
}

void FtFirmwareEmulator::powerOnLocked() {
    started_ = options_.runningAtPowerOn;
    onBus_ = false;
    notStartedAnswersGiven_ = 0;
}

FtDriver::Status FtFirmwareEmulator::checkLocked(Handle handle) const {
    if (handle == kNoHandle || handle != openHandle_) return kInvalidHandle;
    if (!plugged_) return kIoError;
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::deviceCount(uint32_t& count) {
    std::lock_guard lock(mutex_);
    count = plugged_ ? static_cast<uint32_t>(options_.devices.size()) : 0;
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::descriptions(std::vector<std::string>& out) {
    std::lock_guard lock(mutex_);
    out.clear();
    if (!plugged_) return kOk;
    for (const auto& d : options_.devices) out.push_back(d.description.substr(0, 63));
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::serialNumber(uint32_t index, std::string& out) {
    std::lock_guard lock(mutex_);
    out.clear();
    if (!plugged_ || index >= options_.devices.size()) return kDeviceNotFound;
    out = options_.devices[index].serialNumber;
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::openBySerialNumber(const std::string& serial, Handle& handle) {
    std::lock_guard lock(mutex_);
    handle = kNoHandle;
    if (!plugged_) return kDeviceNotFound;
    auto it = std::find_if(options_.devices.begin(), options_.devices.end(),
                           [&](const Device& d) { return d.serialNumber == serial; });
    if (it == options_.devices.end()) return kDeviceNotFound;
    if (openHandle_ != kNoHandle) return kDeviceNotOpened;  // already open elsewhere
    openHandle_ = handle = nextHandle_++;
    openedSerial_ = serial;
    reader_ = LinkReader{};
    toTool_.clear();
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::resetDevice(Handle handle) {
    std::lock_guard lock(mutex_);
    return checkLocked(handle);
}

FtDriver::Status FtFirmwareEmulator::purge(Handle handle, uint32_t buffers) {
    std::lock_guard lock(mutex_);
    Status s = checkLocked(handle);
    if (s == kOk && (buffers & kPurgeReceive) != 0) toTool_.clear();
    if (s == kOk && (buffers & kPurgeTransmit) != 0) reader_ = LinkReader{};
    return s;
}

FtDriver::Status FtFirmwareEmulator::setTimeouts(Handle handle, uint32_t, uint32_t) {
    std::lock_guard lock(mutex_);
    return checkLocked(handle);
}

FtDriver::Status FtFirmwareEmulator::setUsbParameters(Handle handle, uint32_t inTransferSize,
                                                      uint32_t outTransferSize) {
    std::lock_guard lock(mutex_);
    Status s = checkLocked(handle);
    if (s != kOk) return s;
    // The chip's transfers are 64-byte multiples of at most 64 KiB.
    auto valid = [](uint32_t size) { return size >= 64 && size <= 65536 && size % 64 == 0; };
    return valid(inTransferSize) && valid(outTransferSize) ? kOk : kInvalidParameter;
}

FtDriver::Status FtFirmwareEmulator::setLatencyTimer(Handle handle, uint8_t ms) {
    std::lock_guard lock(mutex_);
    Status s = checkLocked(handle);
    return s == kOk && ms < 2 ? kInvalidParameter : s;
}

FtDriver::Status FtFirmwareEmulator::waitForReceive(Handle handle, int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (Status s = checkLocked(handle); s != kOk) return s;
        pumpVehicleLocked();
        if (!toTool_.empty()) return kOk;
        auto now = std::chrono::steady_clock::now();
        if (now >= until) return kOk;
        received_.wait_until(lock, std::min(until, now + kPumpInterval));
    }
}

FtDriver::Status FtFirmwareEmulator::status(Handle handle, uint32_t& bytesWaiting) {
    std::lock_guard lock(mutex_);
    bytesWaiting = 0;
    Status s = checkLocked(handle);
    if (s != kOk) return s;
    pumpVehicleLocked();
    bytesWaiting = static_cast<uint32_t>(toTool_.size());
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::read(Handle handle, std::span<uint8_t> buffer,
                                          uint32_t& bytesRead) {
    std::lock_guard lock(mutex_);
    bytesRead = 0;
    Status s = checkLocked(handle);
    if (s != kOk) return s;
    size_t n = std::min(buffer.size(), toTool_.size());
    std::copy_n(toTool_.begin(), n, buffer.begin());
    toTool_.erase(toTool_.begin(), toTool_.begin() + static_cast<std::ptrdiff_t>(n));
    bytesRead = static_cast<uint32_t>(n);
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::write(Handle handle, std::span<const uint8_t> bytes,
                                           uint32_t& bytesWritten) {
    std::lock_guard lock(mutex_);
    bytesWritten = 0;
    Status s = checkLocked(handle);
    if (s != kOk) return s;
    for (uint8_t b : bytes) {
        if (bytesFromTool_.size() < kToolByteLog) bytesFromTool_.push_back(b);
        if (auto payload = reader_.push(b)) handlePayloadLocked(*payload);
    }
    bytesWritten = static_cast<uint32_t>(bytes.size());
    received_.notify_all();
    return kOk;
}

FtDriver::Status FtFirmwareEmulator::close(Handle handle) {
    std::lock_guard lock(mutex_);
    if (handle == kNoHandle || handle != openHandle_) return kInvalidHandle;
    openHandle_ = kNoHandle;
    toTool_.clear();
    received_.notify_all();
    return kOk;
}

void FtFirmwareEmulator::handlePayloadLocked(const std::vector<uint8_t>& payload) {
    if (payload.size() == 2 && payload[0] == 0x00 && (payload[1] & 0x80) != 0) {
        handleCommandLocked(payload[1]);
    } else if (!payload.empty() && payload[0] == kTransmitMarker) {
        handleTransmitLocked(payload);
    }
}

void FtFirmwareEmulator::handleCommandLocked(uint8_t code) {
    commands_.push_back(code);
    if (options_.neverAnswers || hung_) return;
    if (code == kReadState) {
        if (!started_) ++notStartedAnswersGiven_;
        const uint8_t reply[] = {kReplyMarker, code, started_ ? kRunning : kNotStarted};
        sendLocked(reply);
    } else if (code == kStart) {
        // Answered by nothing: the tool asks for the state afterwards.
        if (!options_.neverStarts && notStartedAnswersGiven_ >= options_.notStartedAnswers) {
            started_ = true;
        }
    } else if (code >= kRateFirst && code <= kRateLast && started_) {
        dataRate_ = code;
        if (!onBus_) {
            onBus_ = true;
            busStart_ = std::chrono::steady_clock::now();
            busVehicleStart_ = vehicle_ != nullptr ? vehicle_->now() : 0;
        }
        const uint8_t reply[] = {kReplyMarker, code, static_cast<uint8_t>('0' + code - kRateFirst)};
        sendLocked(reply);
    } else if (code == kStop) {
        const uint8_t reply[] = {kReplyMarker, code};
        sendLocked(reply);
        powerOnLocked();
    }
}

void FtFirmwareEmulator::handleTransmitLocked(const std::vector<uint8_t>& payload) {
    if (payload.size() < kTransmitHeader) return;
    const uint8_t length = payload[8];
    if (length > 8 || payload.size() != kTransmitHeader + length) return;
    const uint32_t id = static_cast<uint32_t>(payload[1]) << 24 |
                        static_cast<uint32_t>(payload[2]) << 16 |
                        static_cast<uint32_t>(payload[3]) << 8 | payload[4];
    RvcFrame frame = makeFrame(unpackIdentifier(id), 0, length,
                               std::span<const uint8_t>(payload).subspan(kTransmitHeader));
    if (framesFromTool_.size() == kToolFrameLog) framesFromTool_.pop_front();
    framesFromTool_.push_back(frame);
    if (onBus_ && vehicle_ != nullptr) vehicle_->receive(frame);
}

void FtFirmwareEmulator::sendLocked(std::span<const uint8_t> payload) {
    std::deque<uint8_t> framed;
    framed.push_back(kDle);
    framed.push_back(kStx);
    uint8_t checksum = 0;
    for (uint8_t b : payload) {
        putEscaped(framed, b);
        checksum ^= b;
    }
    if (corruptNext_) {
        checksum ^= 0x5A;
        corruptNext_ = false;
    }
    putEscaped(framed, checksum);
    framed.push_back(kDle);
    framed.push_back(kEtx);
    if (toTool_.size() + framed.size() > kReceiveBufferLimit) {
        framesLost_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    toTool_.insert(toTool_.end(), framed.begin(), framed.end());
    received_.notify_all();
}

void FtFirmwareEmulator::queueFrameLocked(const RvcFrame& frame) {
    const uint32_t id = packIdentifier(
        frame.priority, frame.dgn | static_cast<uint32_t>(frame.reserved & 1) << 17, frame.sa);
    const uint8_t length = static_cast<uint8_t>(heldBytes(frame));
    std::vector<uint8_t> payload = {kFrameMarker,
                                    static_cast<uint8_t>(id),
                                    static_cast<uint8_t>(id >> 8),
                                    static_cast<uint8_t>(id >> 16),
                                    static_cast<uint8_t>(id >> 24),
                                    static_cast<uint8_t>(frame.timestamp),
                                    static_cast<uint8_t>(frame.timestamp >> 8),
                                    static_cast<uint8_t>(frame.timestamp >> 16),
                                    static_cast<uint8_t>(frame.timestamp >> 24),
                                    0,
                                    length};
    payload.insert(payload.end(), frame.data, frame.data + length);
    const uint64_t lostBefore = framesLost_.load(std::memory_order_relaxed);
    sendLocked(payload);
    if (framesLost_.load(std::memory_order_relaxed) == lostBefore) {
        framesToTool_.fetch_add(1, std::memory_order_relaxed);
    }
}

void FtFirmwareEmulator::pumpVehicleLocked() {
    if (vehicle_ == nullptr || !onBus_ || options_.neverAnswers || hung_) return;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - busStart_)
                       .count();
    // The vehicle hands frames out without its own lock held, so queueing them here under
    // ours keeps the one lock order: emulator, then vehicle.
    vehicle_->advanceTo(busVehicleStart_ + elapsed,
                        [this](const RvcFrame& f) { queueFrameLocked(f); });
}

void FtFirmwareEmulator::injectPayload(std::span<const uint8_t> payload) {
    std::lock_guard lock(mutex_);
    sendLocked(payload);
}

void FtFirmwareEmulator::injectLinkBytes(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    toTool_.insert(toTool_.end(), bytes.begin(), bytes.end());
    received_.notify_all();
}

void FtFirmwareEmulator::corruptNextChecksum() {
    std::lock_guard lock(mutex_);
    corruptNext_ = true;
}

void FtFirmwareEmulator::unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    toTool_.clear();
    received_.notify_all();
}

void FtFirmwareEmulator::plugIn() {
    std::lock_guard lock(mutex_);
    plugged_ = true;
    hung_ = false;
    // A handle from before the unplug stays dead.
    openHandle_ = kNoHandle;
    powerOnLocked();
}

void FtFirmwareEmulator::hang() {
    std::lock_guard lock(mutex_);
    hung_ = true;
}

std::vector<uint8_t> FtFirmwareEmulator::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<uint8_t> FtFirmwareEmulator::bytesFromTool() const {
    std::lock_guard lock(mutex_);
    return bytesFromTool_;
}

std::vector<RvcFrame> FtFirmwareEmulator::framesFromTool() const {
    std::lock_guard lock(mutex_);
    return {framesFromTool_.begin(), framesFromTool_.end()};
}

std::optional<uint8_t> FtFirmwareEmulator::dataRateCommand() const {
    std::lock_guard lock(mutex_);
    return dataRate_;
}

bool FtFirmwareEmulator::started() const {
    std::lock_guard lock(mutex_);
    return started_;
}

bool FtFirmwareEmulator::isOpen() const {
    std::lock_guard lock(mutex_);
    return openHandle_ != kNoHandle;
}

std::string FtFirmwareEmulator::openedSerialNumber() const {
    std::lock_guard lock(mutex_);
    return openedSerial_;
}

}  // namespace corvane::sim
