#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/FieldSpec.h"

namespace corvane::decode {

// One message of the catalogue: its DGN (a PDU1 family with the destination byte zero), its
// name and its fields in the order they are shown. The field named "instance", when there is
// one, gives the message's instance.
struct MessageSpec {
    // No message is longer (255 packets of 7 bytes); no real one has nearly so many fields.
    static constexpr size_t kMaxBytes = 1785;
    static constexpr size_t kMaxFields = 256;

    uint32_t dgn = 0;
    std::string name;
    std::vector<FieldSpec> fields;
    int instanceField = -1;  // index into fields, -1 for none
    // The bytes some field reads (a bit of them or all): covered[i] is 1 for byte i. Bytes
    // from coversAllFrom on are read by a text to the end; bytes past `covered` by none.
    std::vector<uint8_t> covered;
    size_t coversAllFrom = SIZE_MAX;

    // Works out what follows from the fields: instanceField and the bytes covered. Call after
    // the fields are set or changed.
    void complete();

    // True for a byte some field reads.
    bool covers(size_t byte) const {
        return byte >= coversAllFrom || (byte < covered.size() && covered[byte] != 0);
    }
    // True when a byte of `data` that no field reads is not 0xFF. RV-C fills what it reserves
    // with ones, so such a message says something its fields do not show.
    //   fields read byte 0 only: 01 FF FF -> false;  01 02 FF -> true
    bool hasUncoveredData(const uint8_t* data, size_t size) const;

    // `name`, or with "_2", "_3", ... after it when a field already has it: two fields of one
    // name would hide each other wherever fields go by name (JSON, the Values tab).
    std::string unusedName(std::string_view name) const;
};

}  // namespace corvane::decode
