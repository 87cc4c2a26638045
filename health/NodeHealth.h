#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/RvcFrame.h"

namespace corvane::health {

// How each source address behaves: when it was last heard, how many frames a second it sends,
// the usual interval of each DGN it repeats, and whether two NAMEs claimed it.
//
// A DGN's interval is learnt from the gaps between its messages: a gap within half to one and
// a half times the interval so far is a regular one and moves the interval a quarter of the
// way towards it; any other gap starts the learning again from that gap. After three regular
// gaps in a row the DGN counts as periodic, and a periodic DGN not heard for more than three
// intervals is silent. A node is silent when all of its periodic DGNs are. Requests, transport
// frames and address claims are not learnt: they are not sent on a schedule.
//
// Bounded whatever the bus sends: at most kDgnsPerNode DGNs are learnt per address (a new one
// past that takes the place of the one heard longest ago) and kNamesPerNode NAMEs kept.
//
// Times are the caller's, in microseconds. Not thread-safe: the owner serialises calls.
class NodeHealth {
  public:
    static constexpr int kRegularGapsForPeriodic = 3;
    static constexpr int kSilentIntervals = 3;
    static constexpr size_t kDgnsPerNode = 64;
    static constexpr size_t kNamesPerNode = 8;

    struct DgnTiming {
        uint32_t dgn = 0;
        int64_t last = 0;
        int64_t interval = 0;  // microseconds; 0 before the second message
        int regularGaps = 0;
        uint64_t count = 0;
        bool periodic() const { return regularGaps >= kRegularGapsForPeriodic; }
        bool silentAt(int64_t micros) const {
            return periodic() && micros - last > kSilentIntervals * interval;
        }
    };

    struct Node {
        uint8_t address = 0;
        bool heard = false;
        int64_t firstSeen = 0;
        int64_t lastSeen = 0;
        uint64_t frames = 0;
        std::vector<DgnTiming> dgns;  // by DGN
        std::vector<uint64_t> names;  // the NAMEs that claimed this address, in order
        // NAMEs beyond the first that claimed it; once kNamesPerNode are kept, each claim by
        // a NAME not kept.
        uint32_t claimConflicts = 0;
        // From its last PRODUCT_ID, as sent (not yet checked as text).
        std::string make;
        std::string model;
        std::string serial;

        // The timing of one DGN; null when it is not learnt.
        const DgnTiming* timing(uint32_t dgn) const;

        // Frames in the whole second before the one `micros` falls in.
        uint32_t framesPerSecond(int64_t micros) const;
        bool silentAt(int64_t micros) const;

        int64_t second = -1;          // the second being counted
        uint32_t thisSecond = 0;      // frames in it so far
        uint32_t previousSecond = 0;  // frames in the second before it, when that was heard
    };

    // Every frame heard: counts, last seen, and the interval of its DGN. A long message's
    // transfer frames are never sent on a schedule of their own, so single frames suffice.
    void onFrame(const RvcFrame& frame, int64_t micros);
    // An ADDRESS_CLAIM from `address`: its data is the claimant's NAME.
    void onClaim(uint8_t address, std::span<const uint8_t> data);
    // A PRODUCT_ID from `address`: "make*model*serial*...".
    void onProductId(uint8_t address, std::string_view text);

    const Node& node(uint8_t address) const { return nodes_[address]; }
    // The addresses heard so far, lowest first.
    std::vector<uint8_t> heardAddresses() const;

  private:
    std::array<Node, 256> nodes_{};
};

}  // namespace corvane::health
