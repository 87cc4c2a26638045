#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/RVCDevice.h"
#include "core/RVCNode.h"
#include "core/RvcMessage.h"
#include "platform/Clock.h"

namespace corvane {

// The tool's picture of the network: nodes (PRODUCT_ID senders) and devices (DM_RV / DM1
// senders). update() runs on the dispatching thread while aging, clearing and every reader run
// on the user-interface thread, so the lists are guarded by one mutex and readers get copies:
// a row never points at an entry that aging has deleted.
class DeviceTable {
  public:
    explicit DeviceTable(const Clock& clock);

    // Offers one complete message; only PRODUCT_ID, DM_RV and (while legacy DM1s are
    // supported) DM1 have an effect.
    void update(const RvcMessage& message);
    // Removes nodes silent for more than 60 s and devices silent for more than 15 s, except
    // the tool's own entries.
    void age();
    void clear();
    // Lists the tool itself as a node and a device.
    void addToolEntries();

    // The first node with this address, or the "Not Found" placeholder (address 0xFF).
    RVCNode findNode(uint8_t address) const;
    std::vector<RVCNode> nodes() const;
    std::vector<RVCDevice> devices() const;
    size_t deviceCount() const;

    // Set whenever the device list changes in a way the device list window must show.
    bool changed() const { return changed_.load(std::memory_order_relaxed); }
    // Reads and clears the changed flag.
    bool takeChanged() { return changed_.exchange(false, std::memory_order_relaxed); }
    void markChanged() { changed_.store(true, std::memory_order_relaxed); }
    // The device list calls this after redrawing a device's row.
    void clearStatusChanged(uint8_t sa, uint8_t dsa);

    // The two options the manager keeps; pushed here whenever they change.
    void setShowPhantoms(bool on) { showPhantoms_.store(on, std::memory_order_relaxed); }
    void setSupportLegacyDM1(bool on) { supportLegacyDM1_.store(on, std::memory_order_relaxed); }

    // The clock the table stamps entries with: the network core's one clock, which long-message
    // time-outs and the pacing of the tool's transfers read too.
    const Clock& clock() const { return clock_; }

    // The placeholder's text for every field.
    static constexpr const char* kNotFound = "Not Found";

  private:
    void updateProductIdLocked(const RvcMessage& message, int64_t now);
    void updateDiagnosticLocked(const RvcMessage& message, int64_t now);
    bool hasNodeLocked(uint8_t address) const;
    const RVCNode* findNodeLocked(uint8_t address) const;

    const Clock& clock_;
    RVCNode placeholder_;
    mutable std::mutex mutex_;  // guards nodes_ and devices_
    std::vector<RVCNode> nodes_;
    std::vector<RVCDevice> devices_;
    std::atomic<bool> changed_{false};
    std::atomic<bool> showPhantoms_{false};
    std::atomic<bool> supportLegacyDM1_{true};
};

}  // namespace corvane
