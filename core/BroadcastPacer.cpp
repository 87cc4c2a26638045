#include "core/BroadcastPacer.h"

#include <algorithm>
#include <limits>

#include "core/LongMessages.h"

namespace corvane {

namespace {

// Collects the frames of a transfer instead of sending them.
class FrameCollector final : public FrameSender {
  public:
    FrameCollector(std::deque<BroadcastPacer::Frame>& lane, FrameSender& sender)
        : lane_(lane), sender_(sender) {}
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override {
        BroadcastPacer::Frame f{&sender_, dgn, sa, priority, {}};
        std::copy_n(data, std::min<uint16_t>(length, 8), f.data.begin());
        lane_.push_back(f);
    }
    bool echoTransmits() const override { return false; }

  private:
    std::deque<BroadcastPacer::Frame>& lane_;
    FrameSender& sender_;
};

}  // namespace

BroadcastPacer::BroadcastPacer(const Clock& clock) : clock_(clock) {
    nextDue_.fill(std::numeric_limits<int64_t>::min());
}

void BroadcastPacer::queue(FrameSender& sender, uint32_t dgn, uint8_t sa, uint8_t priority,
                           uint16_t length, const uint8_t* data) {
    std::lock_guard lock(mutex_);
    auto& lane = lanes_[sa];
    FrameCollector collector(lane, sender);
    LongMessages::sendLong(collector, dgn, sa, priority, length, data);
    sendDueLocked(sa, clock_.steadyMilliseconds());
}

void BroadcastPacer::step() {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_.steadyMilliseconds();
    for (auto it = lanes_.begin(); it != lanes_.end();) {
        const uint8_t sa = it->first;
        ++it;  // sending may empty the lane and erase it
        sendDueLocked(sa, now);
    }
}

bool BroadcastPacer::sendDueLocked(uint8_t sa, int64_t now) {
    auto it = lanes_.find(sa);
    if (it == lanes_.end()) return false;
    if (now < nextDue_[sa]) return false;
    const Frame f = it->second.front();
    it->second.pop_front();
    if (it->second.empty()) lanes_.erase(it);
    nextDue_[sa] = now + kGapMs;
    f.sender->sendFrame(f.dgn, f.sa, f.priority, 8, f.data.data());
    return true;
}

void BroadcastPacer::clear() {
    std::lock_guard lock(mutex_);
    lanes_.clear();
}

size_t BroadcastPacer::pending() const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& [sa, lane] : lanes_) n += lane.size();
    return n;
}

}  // namespace corvane
