#include "core/RVCFilterRaw.h"

#include "core/ClientRequest.h"
#include "core/RVCClient.h"

namespace corvane {

bool RVCFilterRaw::matchesRemoval(std::span<const uint8_t> request) const {
    return namesAddress(request, clientbus::kRemoveRaw, address_);
}

bool RVCFilterRaw::offer(const RvcFrame& frame) {
    if (frame.kind != RvcFrame::kKind || !addressMatches(address_, frame.sa)) return false;
    owner().writeFrame(frame);
    return false;
}

// Complete messages are not this filter's business.
bool RVCFilterRaw::offer(const RvcMessage&) { return false; }

std::string RVCFilterRaw::report() const {
    return formatLine("== %04X  Filter  Address: %02X\r\n", filterId(), address_);
}

std::vector<uint8_t> RVCFilterRaw::removalNotice() const {
    return {clientbus::kRemoveRaw, address_};
}

}  // namespace corvane
