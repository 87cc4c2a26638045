#include "adapters/UsbCanPort.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <variant>

#include "adapters/FtLinkEncoder.h"

namespace corvane {

namespace {

constexpr uint32_t kReadTimeoutMs = 378;
constexpr uint32_t kWriteTimeoutMs = 128;
constexpr uint32_t kTransferSize = 2048;
constexpr uint8_t kLatencyMs = 3;
constexpr size_t kReceiveBufferSize = 65536;
// How long a read step waits for bytes.
constexpr int kReceiveWaitMs = 20;
constexpr auto kStopSettle = std::chrono::milliseconds(100);

}  // namespace

UsbCanPort::UsbCanPort(FtDriver& driver, std::string serialNumber, FrameHandler onFrames)
    : driver_(driver),
      serialNumber_(std::move(serialNumber)),
      onFrames_(std::move(onFrames)),
      buffer_(kReceiveBufferSize) {}

UsbCanPort::~UsbCanPort() { close(); }

FtDriver::Status UsbCanPort::open() {
    FtDriver::Handle handle = FtDriver::kNoHandle;
    FtDriver::Status s = driver_.openBySerialNumber(serialNumber_, handle);
    if (s != FtDriver::kOk) return s;
    {
        std::lock_guard lock(writeMutex_);
        handle_ = handle;
    }
    // Only the open and the transfer sizes decide; the adapter works with the driver's
    // defaults for the rest.
    driver_.resetDevice(handle);
    driver_.purge(handle, FtDriver::kPurgeReceive | FtDriver::kPurgeTransmit);
    driver_.setTimeouts(handle, kReadTimeoutMs, kWriteTimeoutMs);
    s = driver_.setUsbParameters(handle, kTransferSize, kTransferSize);
    driver_.setLatencyTimer(handle, kLatencyMs);
    if (s != FtDriver::kOk) return s;

    running_.store(true, std::memory_order_release);
    return FtDriver::kOk;
}

int UsbCanPort::write(std::span<const uint8_t> payload) {
    std::vector<uint8_t> bytes = encodeFtLink(payload);
    std::lock_guard lock(writeMutex_);
    if (handle_ == FtDriver::kNoHandle) return kNoHandle;
    uint32_t written = 0;
    if (driver_.write(handle_, bytes, written) != FtDriver::kOk || written != bytes.size()) {
        return kWriteFailed;
    }
    return kOk;
}

int UsbCanPort::sendFramePayload(uint32_t identifier, const uint8_t* data, uint16_t length) {
    if (length > 8) return kFrameTooLong;
    return write(ftFramePayload(identifier, std::span<const uint8_t>(data, length)));
}

int UsbCanPort::command(uint8_t code, std::vector<uint8_t>& reply) {
    reply.clear();
    // A reply already queued was sent before this command went out: it cannot be its answer.
    {
        std::lock_guard lock(replyMutex_);
        replies_.clear();
    }
    int result = write(ftCommandPayload(code));
    if (result != kOk) return result;

    const uint8_t wanted = code & 0x7F;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyWaitMs);
    std::unique_lock lock(replyMutex_);
    for (;;) {
        while (!replies_.empty()) {
            UsbRecord r = replies_.front();
            replies_.pop_front();
            if (r.replyCode == wanted) {
                reply.assign(r.data.begin(), r.data.begin() + r.length);
                return kOk;
            }
        }
        // Without a reader no reply can come.
        if (!running()) return kNoReply;
        if (replyArrived_.wait_until(lock, deadline) == std::cv_status::timeout &&
            replies_.empty()) {
            return kNoReply;
        }
    }
}

void UsbCanPort::close() {
    FtDriver::Handle handle;
    {
        std::lock_guard lock(writeMutex_);
        handle = handle_;
    }
    if (handle == FtDriver::kNoHandle) return;

    // Nobody reads any more: the reply is not waited for, only the firmware's time to stop.
    if (write(ftCommandPayload(kStopCommand)) == kOk) std::this_thread::sleep_for(kStopSettle);
    running_.store(false, std::memory_order_release);
    {
        std::lock_guard lock(writeMutex_);
        handle_ = FtDriver::kNoHandle;
    }
    driver_.close(handle);
    {
        std::lock_guard lock(replyMutex_);
        replies_.clear();
    }
    std::lock_guard lock(frameMutex_);
    frames_.clear();
}

std::optional<UsbRecord> UsbCanPort::takeFrame() {
    std::lock_guard lock(frameMutex_);
    if (frames_.empty()) return std::nullopt;
    UsbRecord r = frames_.front();
    frames_.pop_front();
    return r;
}

bool UsbCanPort::readStep() {
    // handle_ does not change while the reader runs: close comes after the reader has ended.
    const FtDriver::Handle handle = handle_;
    uint32_t waiting = 0;
    if (driver_.status(handle, waiting) != FtDriver::kOk) return deviceLost();
    if (waiting == 0) {
        return driver_.waitForReceive(handle, kReceiveWaitMs) == FtDriver::kOk || deviceLost();
    }
    uint32_t got = 0;
    auto want = std::min<size_t>(waiting, buffer_.size());
    if (driver_.read(handle, std::span<uint8_t>(buffer_.data(), want), got) != FtDriver::kOk) {
        return deviceLost();
    }
    parsed_.clear();
    for (uint32_t i = 0; i < got; ++i) {
        auto payload = parser_.push(buffer_[i]);
        if (!payload) continue;
        // Malformed messages and notifications are dropped without notice.
        auto decoded = decodeUsbRecord(*payload);
        if (auto* record = std::get_if<UsbRecord>(&decoded)) parsed_.push_back(*record);
    }
    for (const auto& r : parsed_) dispatch(r);
    return true;
}

void UsbCanPort::dispatch(const UsbRecord& record) {
    if (record.type == UsbRecord::Type::Reply) {
        {
            std::lock_guard lock(replyMutex_);
            replies_.push_back(record);
        }
        replyArrived_.notify_all();
        return;
    }
    {
        std::lock_guard lock(frameMutex_);
        if (frames_.size() >= kFrameQueueLimit) {
            frames_.pop_front();
            droppedFrames_.fetch_add(1, std::memory_order_relaxed);
        }
        frames_.push_back(record);
    }
    if (onFrames_) onFrames_(*this);
}

bool UsbCanPort::deviceLost() {
    running_.store(false, std::memory_order_release);
    // Wake a command waiting for a reply that will never come.
    replyArrived_.notify_all();
    return false;
}

}  // namespace corvane
