#include "health/NodeHealth.h"

#include <algorithm>
#include <cstring>

#include "core/Dgn.h"
#include "core/ProductId.h"

namespace corvane::health {

namespace {

bool isScheduled(uint32_t dgn) {
    return !isTransportFrame(dgn) && !isRequest(dgn) && dgnFamily(dgn) != dgn::kAddressClaim;
}

void learnGap(NodeHealth::DgnTiming& t, int64_t gap) {
    const bool regular = t.interval > 0 && 2 * gap >= t.interval && 2 * gap <= 3 * t.interval;
    if (regular) {
        t.interval += (gap - t.interval) / 4;
        t.regularGaps = std::min(t.regularGaps + 1, NodeHealth::kRegularGapsForPeriodic);
    } else {
        t.interval = gap;
        t.regularGaps = 0;
    }
}

}  // namespace

uint32_t NodeHealth::Node::framesPerSecond(int64_t micros) const {
    const int64_t now = micros / 1'000'000;
    if (second == now - 1) return thisSecond;
    if (second == now) return previousSecond;
    return 0;
}

bool NodeHealth::Node::silentAt(int64_t micros) const {
    bool anyPeriodic = false;
    for (const DgnTiming& t : dgns) {
        if (!t.periodic()) continue;
        anyPeriodic = true;
        if (!t.silentAt(micros)) return false;
    }
    return anyPeriodic;
}

void NodeHealth::onFrame(const RvcFrame& frame, int64_t micros) {
    Node& n = nodes_[frame.sa];
    if (!n.heard) {
        n.heard = true;
        n.address = frame.sa;
        n.firstSeen = micros;
    }
    n.lastSeen = micros;
    ++n.frames;
    const int64_t second = micros / 1'000'000;
    if (second != n.second) {
        n.previousSecond = second == n.second + 1 ? n.thisSecond : 0;
        n.thisSecond = 0;
        n.second = second;
    }
    ++n.thisSecond;

    // A copy: the frame is packed, and a reference to its field would be misaligned.
    const uint32_t dgn = frame.dgn;
    if (!isScheduled(dgn)) return;
    auto it = std::lower_bound(n.dgns.begin(), n.dgns.end(), dgn,
                               [](const DgnTiming& t, uint32_t dgn) { return t.dgn < dgn; });
    if (it == n.dgns.end() || it->dgn != dgn) {
        if (n.dgns.size() >= kDgnsPerNode) {
            const auto oldest = std::min_element(
                n.dgns.begin(), n.dgns.end(),
                [](const DgnTiming& a, const DgnTiming& b) { return a.last < b.last; });
            n.dgns.erase(oldest);
            it = std::lower_bound(n.dgns.begin(), n.dgns.end(), dgn,
                                  [](const DgnTiming& t, uint32_t dgn) { return t.dgn < dgn; });
        }
        n.dgns.insert(it, DgnTiming{dgn, micros, 0, 0, 1});
        return;
    }
    learnGap(*it, micros - it->last);
    it->last = micros;
    ++it->count;
}

void NodeHealth::onClaim(uint8_t address, std::span<const uint8_t> data) {
    if (data.size() < 8) return;
    Node& n = nodes_[address];
    uint64_t name = 0;
    std::memcpy(&name, data.data(), sizeof name);
    if (std::find(n.names.begin(), n.names.end(), name) != n.names.end()) return;
    if (!n.names.empty()) ++n.claimConflicts;
    if (n.names.size() < kNamesPerNode) n.names.push_back(name);
}

void NodeHealth::onProductId(uint8_t address, std::string_view text) {
    Node& n = nodes_[address];
    ProductId id = parseProductId(text, true);
    n.make = std::move(id.make);
    n.model = std::move(id.model);
    n.serial = std::move(id.serialNumber);
}

const NodeHealth::DgnTiming* NodeHealth::Node::timing(uint32_t dgn) const {
    auto it = std::lower_bound(dgns.begin(), dgns.end(), dgn,
                               [](const DgnTiming& t, uint32_t d) { return t.dgn < d; });
    return it != dgns.end() && it->dgn == dgn ? &*it : nullptr;
}

std::vector<uint8_t> NodeHealth::heardAddresses() const {
    std::vector<uint8_t> out;
    for (const Node& n : nodes_) {
        if (n.heard) out.push_back(n.address);
    }
    return out;
}

}  // namespace corvane::health
