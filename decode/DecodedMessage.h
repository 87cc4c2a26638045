#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "decode/FieldSpec.h"
#include "decode/MessageSpec.h"

namespace corvane::decode {

// What a field says: a value, or one of RV-C's two reserved patterns.
enum class FieldStatus : uint8_t {
    Value,
    NotAvailable,  // all ones (or bytes the message does not hold)
    Error,         // all ones minus one
};

// One decoded field. `text` is set for named values and the text kinds; it points into the
// catalogue (names) or into the message's bytes (text), so it lives as long as both.
struct DecodedField {
    const FieldSpec* spec = nullptr;
    FieldStatus status = FieldStatus::Value;
    uint32_t raw = 0;
    double value = 0;  // in spec->unit, rounded to the scale's precision
    std::string_view text;

    bool hasText() const { return status == FieldStatus::Value && !text.empty(); }
};

// One decoded message. `spec` is null for a DGN the catalogue does not know; such a message
// keeps its DGN, source and bytes and has no fields. `data` views the decoded bytes.
// `uncoveredData` says that a byte no field reads is not 0xFF (what RV-C fills reserved room
// with): the fields alone would hide what changed there, so the formatters show those bytes.
struct DecodedMessage {
    uint32_t dgn = 0;  // as received, destination included for PDU1 DGNs
    uint8_t source = 0;
    const MessageSpec* spec = nullptr;
    int32_t instance = -1;  // -1: the message has no instance, or it is not available
    std::span<const uint8_t> data;
    std::vector<DecodedField> fields;
    bool uncoveredData = false;

    bool known() const { return spec != nullptr; }
    // Whether bytes are shown beside the fields: always for an unknown message.
    bool showsData() const { return !known() || uncoveredData; }
};

}  // namespace corvane::decode
