#include "core/RVCFilterPGN.h"

#include "core/ClientRequest.h"

namespace corvane {

bool RVCFilterPGN::matchesRemoval(std::span<const uint8_t> request) const {
    if (request.empty() || request[0] != clientbus::kRemoveDgn) return false;
    auto parsed = parseTokenRequest(request);
    return parsed && parsed->dgn == dgn_;
}

bool RVCFilterPGN::offer(const RvcFrame& frame) {
    return frame.kind == RvcFrame::kKind && frame.dgn == dgn_;
}

bool RVCFilterPGN::offer(const RvcMessage& message) {
    bool kindOk = message.kind == RvcMessage::kKind || message.kind == RvcFrame::kKind;
    return kindOk && message.dgn == dgn_;
}

std::string RVCFilterPGN::report() const {
    return formatLine("== %04X  PGN: %05X\r\n", filterId(), dgn_);
}

std::vector<uint8_t> RVCFilterPGN::removalNotice() const {
    return {clientbus::kRemoveDgn, static_cast<uint8_t>(dgn_), static_cast<uint8_t>(dgn_ >> 8),
            static_cast<uint8_t>(dgn_ >> 16), static_cast<uint8_t>(dgn_ >> 24)};
}

}  // namespace corvane
