#pragma once

#include "core/RVCFilter.h"

namespace corvane {

// Single frames from one source address (0xFF: any), transport frames included, delivered
// by the filter itself in the plain message layout (8 + length bytes, kind 0).
class RVCFilterLegacyRaw final : public RVCFilter {
  public:
    RVCFilterLegacyRaw(uint16_t filterId, RVCClient& owner, uint8_t address)
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
