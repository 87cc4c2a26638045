#include "core/RVCManager.h"

#include <cstdio>

#include "core/Dgn.h"

namespace corvane {

namespace {

constexpr const char* kSection = "Corvane";

}  // namespace

RVCManager::RVCManager(SettingsStore& settings, DeviceTable& devices)
    : showPhantoms_(settings, kSection, "ShowPhantoms", 0),
      supportLegacyDM1_(settings, kSection, "SupportLegacyDM1", 1),
      devices_(devices),
      ring_(std::make_unique<RvcFrame[]>(kRingSize)) {
    devices_.setShowPhantoms(showPhantoms());
    devices_.setSupportLegacyDM1(supportLegacyDM1());
}

void RVCManager::intake(const RvcFrame& frame) {
    recordSource(frame.sa);
    if (diverted_.load(std::memory_order_acquire)) {
        std::lock_guard lock(ringMutex_);
        // Checked again under the lock: the drain ends the diversion under the same lock,
        // so a frame is either queued before the drain looks for the last time or
        // dispatched directly - never stranded in the ring.
        if (diverted_.load(std::memory_order_relaxed)) {
            size_t next = (ringWrite_ + 1) % kRingSize;
            if (next == ringRead_) {
                overruns_.fetch_add(1, std::memory_order_relaxed);
            } else {
                ring_[ringWrite_] = frame;
                ringWrite_ = next;
            }
            return;
        }
    }
    dispatchFrame(frame);
}

void RVCManager::intakeRawEcho(const RvcFrame& frame) {
    recordSource(frame.sa);
    liveCounts_[frame.sa].fetch_add(1, std::memory_order_relaxed);
    liveNetwork_.fetch_add(1, std::memory_order_relaxed);
    if (clients_) clients_->deliverRaw(frame);
}

void RVCManager::recordSource(uint8_t sa) {
    uint32_t slot = recentCounter_.fetch_add(1, std::memory_order_relaxed);
    recentSources_[slot & (kRecentSize - 1)].store(sa, std::memory_order_relaxed);
}

void RVCManager::divertIntake() {
    std::lock_guard lock(ringMutex_);
    diverted_.store(true, std::memory_order_release);
}

void RVCManager::drainIntake() {
    for (;;) {
        RvcFrame frame;
        {
            std::lock_guard lock(ringMutex_);
            if (ringRead_ == ringWrite_) {
                diverted_.store(false, std::memory_order_release);
                return;
            }
            frame = ring_[ringRead_];
            ringRead_ = (ringRead_ + 1) % kRingSize;
        }
        dispatchFrame(frame);
    }
}

void RVCManager::dispatchFrame(const RvcFrame& frame) {
    liveCounts_[frame.sa].fetch_add(1, std::memory_order_relaxed);
    liveNetwork_.fetch_add(1, std::memory_order_relaxed);

    RvcMessage message;  // only the header and the first 8 data bytes are written
    fillMessageFromFrame(frame, message);
    if (transportStage_) transportStage_->offer(message);
    if (clients_) clients_->deliverRaw(frame);
    if (isTransportFrame(frame.dgn)) {
        devices_.update(message);
        return;
    }
    dispatchMessage(message);
}

void RVCManager::dispatchMessage(const RvcMessage& message) {
    if (clients_) clients_->deliverCooked(message);
    {
        std::shared_lock lock(dataFieldsMutex_);
        if (dataFields_) dataFields_->offer(message);
    }
    {
        std::shared_lock lock(tapMutex_);
        if (tap_) tap_->deliverCooked(message);
    }
    devices_.update(message);
}

void RVCManager::setDataFieldSink(MessageSink* sink) {
    std::unique_lock lock(dataFieldsMutex_);
    dataFields_ = sink;
}

void RVCManager::setMessageTap(ClientDelivery* tap) {
    std::unique_lock lock(tapMutex_);
    tap_ = tap;
}

void RVCManager::closeInterval(AddressStats& s, int32_t count, bool keepTenIntervals) {
    s.last = count;
    s.total += count;
    s.sum5 -= s.window5[window5Index_];
    s.window5[window5Index_] = count;
    s.sum5 += count;
    s.count = 0;
    s.rate = (s.sum5 + 2) / 5;
    if (!keepTenIntervals) return;
    s.sum10 -= s.window10[window10Index_];
    s.window10[window10Index_] = s.last;
    s.sum10 += s.last;
    s.active = s.sum10 > 0 ? 1 : 0;
}

void RVCManager::statisticsStep() {
    std::lock_guard lock(statsMutex_);
    for (size_t sa = 0; sa < perAddress_.size(); ++sa) {
        closeInterval(perAddress_[sa], liveCounts_[sa].exchange(0, std::memory_order_relaxed),
                      true);
    }
    closeInterval(network_, liveNetwork_.exchange(0, std::memory_order_relaxed), false);
    window5Index_ = (window5Index_ + 1) % 5;
    window10Index_ = (window10Index_ + 1) % 10;
}

AddressStats RVCManager::addressStats(uint8_t sa) const {
    std::lock_guard lock(statsMutex_);
    AddressStats s = perAddress_[sa];
    s.count = liveCounts_[sa].load(std::memory_order_relaxed);
    return s;
}

AddressStats RVCManager::networkStats() const {
    std::lock_guard lock(statsMutex_);
    AddressStats s = network_;
    s.count = liveNetwork_.load(std::memory_order_relaxed);
    return s;
}

void RVCManager::reset() {
    {
        std::lock_guard lock(statsMutex_);
        for (auto& c : liveCounts_) c.store(0, std::memory_order_relaxed);
        liveNetwork_.store(0, std::memory_order_relaxed);
        perAddress_.fill(AddressStats{});
        network_ = AddressStats{};
    }
    devices_.clear();
    {
        std::lock_guard lock(ringMutex_);
        overruns_.store(0, std::memory_order_relaxed);
        ringRead_ = ringWrite_ = 0;
    }
    // The periodic diagnostic requests go out on the second housekeeping step after a connect.
    housekeepingCountdown_.store(2, std::memory_order_relaxed);
}

void RVCManager::setShowPhantoms(bool on) {
    showPhantoms_.set(on ? 1 : 0);
    devices_.setShowPhantoms(on);
    devices_.markChanged();
}

void RVCManager::setSupportLegacyDM1(bool on) {
    supportLegacyDM1_.set(on ? 1 : 0);
    devices_.setSupportLegacyDM1(on);
}

std::string RVCManager::slots() const {
    char line[64];
    std::snprintf(line, sizeof line, "RVCManager    RVC overruns=%d \r\n", overruns());
    std::string text = line;
    int entries = 0;
    for (int sa = 0; sa < 256; ++sa) {
        AddressStats s = addressStats(static_cast<uint8_t>(sa));
        if (!s.active) continue;
        std::snprintf(line, sizeof line, "%02X:%d ", sa, s.count);
        text += line;
        if (++entries % 8 == 0) text += "\n\r";
    }
    if (clients_) text += clients_->report();
    return text + droppedWork_.reportLine();
}

}  // namespace corvane
