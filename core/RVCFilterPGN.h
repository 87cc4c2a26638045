#pragma once

#include "core/RVCFilter.h"

namespace corvane {

// Complete messages of one DGN, compared in all 32 bits (a PDU1 DGN includes its
// destination: a filter for 0xEA42 does not see 0xEAFF). No wildcard.
class RVCFilterPGN final : public RVCFilter {
  public:
    RVCFilterPGN(uint16_t filterId, RVCClient& owner, uint32_t dgn)
        : RVCFilter(filterId, owner), dgn_(dgn) {}

    bool matchesRemoval(std::span<const uint8_t> request) const override;
    bool offer(const RvcFrame& frame) override;
    bool offer(const RvcMessage& message) override;
    std::string report() const override;
    std::vector<uint8_t> removalNotice() const override;
    uint32_t dgn() const { return dgn_; }

  private:
    uint32_t dgn_;
};

}  // namespace corvane
