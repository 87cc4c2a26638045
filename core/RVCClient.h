#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "core/RVCFilter.h"
#include "core/RvcFrame.h"
#include "core/RvcMessage.h"
#include "platform/MailslotOutbox.h"
#include "platform/MailslotWriter.h"

namespace corvane {

// The tool's record of one registered module: its mailslot and its filters. Owned by the
// client bus's map. The filter maps are changed on the client polling thread and read by
// dispatch, both only while the bus's mutex is held (the _locked operations).
class RVCClient {
  public:
    using FilterMap = std::map<uint16_t, std::unique_ptr<RVCFilter>>;

    RVCClient(std::string slotName, uint16_t clientId, MailslotWriter slot);
    RVCClient(const RVCClient&) = delete;
    RVCClient& operator=(const RVCClient&) = delete;

    // The value the module names itself by in its requests: the write handle.
    uint32_t token() const { return static_cast<uint32_t>(slot_.handle()); }
    const std::string& slotName() const { return slotName_; }
    uint16_t clientId() const { return clientId_; }

    // One message to the module; never blocks. Messages the module has no room for yet wait
    // in the slot's outbox. False when it was lost.
    bool write(std::span<const uint8_t> message) const;
    // A frame as raw clients get it: 14 + held bytes, its length no more than it holds.
    bool writeFrame(const RvcFrame& frame) const;
    // A complete message as cooked clients get it: 8 + length bytes.
    bool writeMessage(const RvcMessage& message) const;

    bool hasFilterId_locked(uint16_t id) const;
    void addRawFilter_locked(std::unique_ptr<RVCFilter> filter);
    void addCookedFilter_locked(std::unique_ptr<RVCFilter> filter);
    // Removes every filter, raw and cooked, that the removal request names, telling the
    // module of each. Returns how many went.
    size_t removeMatching_locked(std::span<const uint8_t> request);
    // Removes every filter (raw ones first), telling the module of each, and closes the slot
    // once the module has taken what waits for it (for at most half a second). Also called
    // without the bus's mutex on a client already out of the bus's map, which no other thread
    // can reach any more.
    void destroy_locked();

    // Dispatch: every raw filter sees the frame; the cooked filters until one takes it.
    void offerRaw_locked(const RvcFrame& frame) const;
    void offerCooked_locked(const RvcMessage& message) const;

    // The client's part of the "slots" report.
    std::string report_locked() const;
    size_t rawFilterCount_locked() const { return rawFilters_.size(); }
    size_t cookedFilterCount_locked() const { return cookedFilters_.size(); }

  private:
    void sendNotice(const RVCFilter& filter) const;

    MailslotOutbox slot_;
    std::string slotName_;
    uint16_t clientId_;
    FilterMap rawFilters_;
    FilterMap cookedFilters_;
};

}  // namespace corvane
