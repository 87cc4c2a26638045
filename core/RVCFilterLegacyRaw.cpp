#include "core/RVCFilterLegacyRaw.h"

#include "core/ClientRequest.h"
#include "core/RVCClient.h"

namespace corvane {

bool RVCFilterLegacyRaw::matchesRemoval(std::span<const uint8_t> request) const {
    return namesAddress(request, clientbus::kRemoveLegacyRaw, address_);
}

bool RVCFilterLegacyRaw::offer(const RvcFrame& frame) {
    if (frame.kind != RvcFrame::kKind || !addressMatches(address_, frame.sa)) return false;
    // Built within this call, so two dispatching threads never share it.
    RvcMessage out;
    fillMessageFromFrame(frame, out);
    owner().writeMessage(out);
    return false;
}

// Complete messages are not this filter's business.
bool RVCFilterLegacyRaw::offer(const RvcMessage&) { return false; }

std::string RVCFilterLegacyRaw::report() const {
    return formatLine("== %04X  Legacy Raw Filter  Address: %02X\r\n", filterId(), address_);
}

std::vector<uint8_t> RVCFilterLegacyRaw::removalNotice() const {
    return {clientbus::kRemoveLegacyRaw, address_};
}

}  // namespace corvane
