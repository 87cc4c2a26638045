#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/RvcFrame.h"
#include "core/RvcMessage.h"

namespace corvane {

class RVCClient;

// One module client's wish for traffic. Owned by its client; offered records on the
// dispatching thread and created and destroyed on the client polling thread, always under
// the client bus's mutex.
class RVCFilter {
  public:
    RVCFilter(uint16_t filterId, RVCClient& owner) : filterId_(filterId), owner_(owner) {}
    virtual ~RVCFilter() = default;
    RVCFilter(const RVCFilter&) = delete;
    RVCFilter& operator=(const RVCFilter&) = delete;

    // Does this removal request (the whole client-bus message) name this filter?
    virtual bool matchesRemoval(std::span<const uint8_t> request) const;
    // True when the client is to be sent the record by the caller. Raw filters write to
    // their client themselves and answer false.
    virtual bool offer(const RvcFrame& frame);
    virtual bool offer(const RvcMessage& message);
    // The filter's line in the "slots" report.
    virtual std::string report() const;
    // What the client is told when the filter goes away.
    virtual std::vector<uint8_t> removalNotice() const { return {}; }

    uint16_t filterId() const { return filterId_; }
    RVCClient& owner() const { return owner_; }

  protected:
    // Address 0xFF stands for every source address.
    static bool addressMatches(uint8_t filterAddress, uint8_t sa) {
        return filterAddress == 0xFF || filterAddress == sa;
    }
    // Removal requests carrying one address byte (0x81, 0x85, 0x87).
    static bool namesAddress(std::span<const uint8_t> request, uint8_t code, uint8_t address);
    static std::string formatLine(const char* format, uint16_t id, uint32_t value);

  private:
    uint16_t filterId_;
    RVCClient& owner_;
};

}  // namespace corvane
