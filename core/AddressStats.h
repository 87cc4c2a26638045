#pragma once

#include <cstdint>

namespace corvane {

// Traffic statistics of one source address (or of the whole network), as of the last
// statistics step. `count` is the running count of the interval in progress.
struct AddressStats {
    int32_t count = 0;  // frames in the current interval
    int32_t last = 0;   // frames in the interval just closed
    int32_t total = 0;  // frames since the last reset
    int32_t sum5 = 0;   // frames in the last 5 closed intervals
    int32_t sum10 = 0;  // frames in the last 10 closed intervals
    int32_t rate = 0;   // (sum5 + 2) / 5: frames per interval, rounded
    int32_t window5[5] = {};
    int32_t window10[10] = {};
    uint8_t active = 0;  // 1 while sum10 > 0
};

}  // namespace corvane
