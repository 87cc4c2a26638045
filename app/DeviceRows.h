#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/RVCDevice.h"

namespace corvane {

// The rows of the device list, without any widget: copies of the device table's devices in
// the order the list shows them. Holding copies means a row can never point at a device the
// table has since deleted (cleared at disconnect, aged out); the next rebuild drops it.
// Header-only so that the benchmark can drive it without the widget library.
class DeviceRows {
  public:
    // A (DSA, source address) pair; (0, 0) stands for "no selection".
    struct Key {
        uint8_t dsa = 0;
        uint8_t sa = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };

    // Refills the rows from the table's devices in table order. Phantoms (never identified)
    // are skipped unless `showPhantoms`. Each device goes before the first row whose DSA is
    // greater than or equal to its own, so devices sharing a DSA end up in reverse table order:
    //   DSAs 88 (A), 66 (B), 88 (C) -> B, C, A
    void rebuild(const std::vector<RVCDevice>& devices, bool showPhantoms) {
        rows_.clear();
        rows_.reserve(devices.size());
        for (const RVCDevice& d : devices) {
            if (!d.identified && !showPhantoms) continue;
            auto at = rows_.begin();
            while (at != rows_.end() && at->dsa < d.dsa) ++at;
            rows_.insert(at, d);
        }
    }

    // The row to select again after a rebuild: the last row with the remembered pair, and
    // none when either half of the pair is 0 (a device at DSA 0 or address 0 therefore loses
    // its selection at every rebuild).
    std::optional<int> reselect(Key remembered) const {
        if (remembered.dsa == 0 || remembered.sa == 0) return std::nullopt;
        std::optional<int> found;
        for (int i = 0; i < count(); ++i) {
            if (keyOf(i) == remembered) found = i;
        }
        return found;
    }

    // Takes a newer status and fault for every row of a device whose status changed; returns
    // the rows that need repainting.
    std::vector<int> refreshStatus(const std::vector<RVCDevice>& devices) {
        std::vector<int> changed;
        for (const RVCDevice& d : devices) {
            if (!d.statusChanged) continue;
            for (int i = 0; i < count(); ++i) {
                RVCDevice& row = rows_[static_cast<size_t>(i)];
                if (row.sa == d.sa && row.dsa == d.dsa) {
                    row.status = d.status;
                    row.fault = d.fault;
                    changed.push_back(i);
                }
            }
        }
        return changed;
    }

    void clear() { rows_.clear(); }
    int count() const { return static_cast<int>(rows_.size()); }
    const RVCDevice& at(int row) const { return rows_.at(static_cast<size_t>(row)); }
    Key keyOf(int row) const { return {at(row).dsa, at(row).sa}; }

  private:
    std::vector<RVCDevice> rows_;
};

}  // namespace corvane
