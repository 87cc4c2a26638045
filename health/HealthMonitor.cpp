#include "health/HealthMonitor.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <thread>

#include "core/Dgn.h"
#include "health/DiagnosticMessage.h"

namespace corvane::health {

namespace {

constexpr uint64_t kRingMask = HealthMonitor::kRingSlots - 1;
static_assert((HealthMonitor::kRingSlots & kRingMask) == 0, "a power of two");

// A slot's last byte says what it holds.
constexpr size_t kKindByte = 23;
constexpr uint8_t kFrameSlot = 0;
constexpr uint8_t kLongSlot = 1;
constexpr size_t kSlotSize = 32;

// Each thread's own address: the ring's owner is told apart without a look-up.
thread_local const char tThreadMark = 0;

bool isReadMessage(uint32_t dgn) {
    return dgn == dgn::kDmRv || dgn == dgn::kDm1 || dgn == dgn::kProductId ||
           dgnFamily(dgn) == dgn::kAddressClaim;
}

uint64_t slotsFor(size_t bytes) { return (bytes + kSlotSize - 1) / kSlotSize; }

}  // namespace

HealthMonitor::HealthMonitor(std::function<int64_t()> now, uint32_t bitRate, ClientDelivery* next)
    : now_(std::move(now)),
      next_(next),
      ring_(std::make_unique<Slot[]>(kRingSlots)),
      bitRate_(bitRate),
      load_(bitRate) {
    shared_.reserve(1024);
    working_.reserve(1024);
    sharedBytes_.reserve(4096);
    workingBytes_.reserve(4096);
    longMessage_.reserve(kMaxMessageData);
}

void HealthMonitor::lockShared() {
    while (sharedLock_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
}

bool HealthMonitor::ownsRing() {
    const void* self = &tThreadMark;
    const void* owner = owner_.load(std::memory_order_relaxed);
    if (owner == self) return true;
    return owner == nullptr && owner_.compare_exchange_strong(owner, self);
}

bool HealthMonitor::ringHasRoom(uint64_t head, uint64_t slots) {
    if (head + slots - tailSeen_ <= kRingSlots) return true;
    tailSeen_ = tail_.load(std::memory_order_acquire);
    return head + slots - tailSeen_ <= kRingSlots;
}

void HealthMonitor::deliverRaw(const RvcFrame& frame) {
    const int64_t micros = now_();
    if (ownsRing()) {
        const uint64_t head = head_.load(std::memory_order_relaxed);
        if (ringHasRoom(head, 1)) {
            Slot& slot = ring_[head & kRingMask];
            slot.micros = micros;
            std::memcpy(slot.bytes, &frame, sizeof frame);
            slot.bytes[kKindByte] = kFrameSlot;
            head_.store(head + 1, std::memory_order_release);
        } else {
            ringMissed_.store(ringMissed_.load(std::memory_order_relaxed) + 1,
                              std::memory_order_relaxed);
        }
    } else {
        lockShared();
        if (shared_.size() < kRingSlots) {
            shared_.push_back(SharedNote{micros, frame, false, 0});
        } else {
            ++sharedMissed_;
        }
        unlockShared();
    }
    if (next_) next_->deliverRaw(frame);
}

void HealthMonitor::noteLongInRing(const RvcMessage& message, int64_t micros) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    const uint64_t slots = 1 + slotsFor(message.length);
    if (!ringHasRoom(head, slots)) {
        ringMissed_.store(ringMissed_.load(std::memory_order_relaxed) + 1,
                          std::memory_order_relaxed);
        return;
    }
    Slot& first = ring_[head & kRingMask];
    first.micros = micros;
    RvcFrame header{};
    header.dgn = message.dgn;
    header.sa = message.sa;
    header.length = message.length;
    std::memcpy(first.bytes, &header, sizeof header);
    first.bytes[kKindByte] = kLongSlot;
    for (uint64_t i = 1; i < slots; ++i) {
        const size_t at = (i - 1) * kSlotSize;
        const size_t n = std::min<size_t>(kSlotSize, message.length - at);
        std::memcpy(&ring_[(head + i) & kRingMask], message.data + at, n);
    }
    head_.store(head + slots, std::memory_order_release);
}

void HealthMonitor::deliverCooked(const RvcMessage& message) {
    // Single frames are read from deliverRaw's copy; only long messages need one of their own.
    if (message.length > 8 && isReadMessage(message.dgn)) {
        const int64_t micros = now_();
        if (ownsRing()) {
            noteLongInRing(message, micros);
        } else {
            lockShared();
            if (shared_.size() < kRingSlots && sharedBytes_.size() < kRingSlots * kSlotSize) {
                SharedNote note{micros, {}, true, static_cast<uint32_t>(sharedBytes_.size())};
                note.frame.dgn = message.dgn;
                note.frame.sa = message.sa;
                note.frame.length = message.length;
                sharedBytes_.insert(sharedBytes_.end(), message.data,
                                    message.data + message.length);
                shared_.push_back(note);
            } else {
                ++sharedMissed_;
            }
            unlockShared();
        }
    }
    if (next_) next_->deliverCooked(message);
}

std::string HealthMonitor::report() const { return next_ ? next_->report() : std::string{}; }

void HealthMonitor::setBitRate(uint32_t bitRate) {
    bitRate_.store(bitRate, std::memory_order_relaxed);
}

void HealthMonitor::process() {
    std::lock_guard work(workMutex_);
    processLocked();
}

void HealthMonitor::takeFrame(const RvcFrame& frame, int64_t micros) {
    nodes_.onFrame(frame, micros);
    load_.onFrame(frame, micros);
    if (isReadMessage(frame.dgn)) {
        readMessage(frame.dgn, frame.sa, {frame.data, heldBytes(frame)}, micros);
    }
    lastMicros_ = std::max(lastMicros_, micros);
}

uint64_t HealthMonitor::takeRingEntry(uint64_t tail) {
    const Slot& slot = ring_[tail & kRingMask];
    RvcFrame frame;
    std::memcpy(&frame, slot.bytes, sizeof frame);
    if (slot.bytes[kKindByte] == kFrameSlot) {
        takeFrame(frame, slot.micros);
        return 1;
    }
    const uint64_t slots = slotsFor(frame.length);
    longMessage_.resize(frame.length);
    for (uint64_t i = 0; i < slots; ++i) {
        const size_t at = i * kSlotSize;
        const size_t n = std::min<size_t>(kSlotSize, frame.length - at);
        std::memcpy(longMessage_.data() + at, &ring_[(tail + 1 + i) & kRingMask], n);
    }
    readMessage(frame.dgn, frame.sa, longMessage_, slot.micros);
    lastMicros_ = std::max(lastMicros_, slot.micros);
    return 1 + slots;
}

void HealthMonitor::processLocked() {
    if (const uint32_t rate = bitRate_.load(std::memory_order_relaxed); rate != load_.bitRate()) {
        load_.setBitRate(rate);
    }
    const uint64_t head = head_.load(std::memory_order_acquire);
    lockShared();
    shared_.swap(working_);
    sharedBytes_.swap(workingBytes_);
    unlockShared();

    // The ring's entries and the other threads' in time order; the ring's first on a tie.
    uint64_t tail = tail_.load(std::memory_order_relaxed);
    size_t next = 0;
    while (tail != head || next < working_.size()) {
        const bool fromRing =
            tail != head &&
            (next == working_.size() || ring_[tail & kRingMask].micros <= working_[next].micros);
        if (fromRing) {
            tail += takeRingEntry(tail);
            continue;
        }
        const SharedNote& n = working_[next++];
        if (n.isLong) {
            readMessage(n.frame.dgn, n.frame.sa, {workingBytes_.data() + n.offset, n.frame.length},
                        n.micros);
            lastMicros_ = std::max(lastMicros_, n.micros);
        } else {
            takeFrame(n.frame, n.micros);
        }
    }
    tail_.store(tail, std::memory_order_release);
    working_.clear();
    workingBytes_.clear();
    // Once a second is often enough for a half-minute limit.
    if (lastMicros_ / 1'000'000 != lastExpiry_) {
        lastExpiry_ = lastMicros_ / 1'000'000;
        faults_.expire(lastMicros_);
    }
}

void HealthMonitor::readMessage(uint32_t dgn, uint8_t sa, std::span<const uint8_t> data,
                                int64_t micros) {
    if (dgn == dgn::kDmRv) {
        if (auto r = decodeDmRv(data)) faults_.onDmRv(sa, *r, micros);
    } else if (dgn == dgn::kDm1) {
        if (auto r = decodeDm1(data)) faults_.onDm1(sa, *r, micros);
    } else if (dgn == dgn::kProductId) {
        nodes_.onProductId(sa, {reinterpret_cast<const char*>(data.data()), data.size()});
    } else {
        nodes_.onClaim(sa, data);
    }
}

HealthMonitor::Snapshot HealthMonitor::snapshot() {
    const int64_t micros = now_();
    std::lock_guard work(workMutex_);
    processLocked();
    Snapshot s;
    s.micros = micros;
    faults_.expire(micros);
    s.faults = faults_.records();
    s.devices = faults_.devices();
    s.faultsForgotten = faults_.forgotten();
    for (uint8_t address : nodes_.heardAddresses()) {
        const NodeHealth::Node& n = nodes_.node(address);
        s.nodes.push_back(NodeSummary{address, n.firstSeen, n.lastSeen, n.frames,
                                      n.framesPerSecond(micros), n.silentAt(micros), n.names,
                                      n.claimConflicts, n.make, n.model, n.serial});
        for (const auto& t : n.dgns) {
            if (t.silentAt(micros)) s.silentDgns.push_back({address, t.dgn, t.interval, t.last});
        }
    }
    s.bitRate = load_.bitRate();
    s.loadLastSecond = load_.lastSecondPercent(micros);
    s.loadLastMinute = load_.lastMinutePercent(micros);
    s.loadPeak = load_.peakPercent();
    s.peakSecondMicros = load_.peakSecondMicros();
    s.loadAverage = load_.averagePercent();
    s.frames = load_.frames();
    lockShared();
    s.missed = sharedMissed_ + ringMissed_.load(std::memory_order_relaxed);
    unlockShared();
    s.firstMicros = load_.firstMicros();
    s.lastMicros = load_.lastMicros();
    return s;
}

}  // namespace corvane::health
