#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// A source address that identified itself with a PRODUCT_ID.
struct RVCNode {
    uint8_t address = 0xFF;
    std::string make;
    std::string model;
    std::string serialNumber;
    std::string idNumber;
    int64_t updated = 0;  // seconds since 1970 (UTC) of the last PRODUCT_ID
};

}  // namespace corvane
