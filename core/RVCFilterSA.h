#pragma once

#include "core/RVCFilter.h"

namespace corvane {

// Complete messages from one source address (0xFF: from any).
class RVCFilterSA final : public RVCFilter {
  public:
    RVCFilterSA(uint16_t filterId, RVCClient& owner, uint8_t address)
        : RVCFilter(filterId, owner), address_(address) {}

    bool matchesRemoval(std::span<const uint8_t> request) const override;
    bool offer(const RvcFrame& frame) override;
    bool offer(const RvcMessage& message) override;
    std::string report() const override;
    std::vector<uint8_t> removalNotice() const override;
    uint8_t address() const { return address_; }

  private:
    uint8_t address_;
};

}  // namespace corvane
