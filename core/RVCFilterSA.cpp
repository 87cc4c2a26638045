#include "core/RVCFilterSA.h"

#include "core/ClientRequest.h"

namespace corvane {

bool RVCFilterSA::matchesRemoval(std::span<const uint8_t> request) const {
    return namesAddress(request, clientbus::kRemoveAddress, address_);
}

bool RVCFilterSA::offer(const RvcFrame& frame) {
    return frame.kind == RvcFrame::kKind && addressMatches(address_, frame.sa);
}

bool RVCFilterSA::offer(const RvcMessage& message) {
    bool kindOk = message.kind == RvcMessage::kKind || message.kind == RvcFrame::kKind;
    return kindOk && addressMatches(address_, message.sa);
}

std::string RVCFilterSA::report() const {
    return formatLine("== %04X  Address: %02X\r\n", filterId(), address_);
}

std::vector<uint8_t> RVCFilterSA::removalNotice() const {
    return {clientbus::kRemoveAddress, address_};
}

}  // namespace corvane
