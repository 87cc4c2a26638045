#pragma once

#include <cstdint>
#include <span>

#include "decode/Catalogue.h"
#include "decode/DecodedMessage.h"

namespace corvane::decode {

// Message bytes -> decoded record, against a catalogue. Pure: the same bytes always give the
// same record. `out` is reused from call to call (its field list keeps its capacity), so a
// steady stream decodes without allocating. The record points into `data` and the catalogue.
//   DGN 0x1FFFD from 0x42, bytes 01 64 08 01 FF FF FF FF
//     -> DC_SOURCE_STATUS_1, instance 1, device_priority 100, dc_voltage 13.2 V,
//        dc_current not available
//   DGN 0x1EF42 (not in the catalogue) -> unknown, no fields, the bytes kept
// Returns out.known().
bool decodeMessage(const Catalogue& catalogue, uint32_t dgn, uint8_t source,
                   std::span<const uint8_t> data, DecodedMessage& out);

// One field of `data` as `spec` reads it.
//   8-bit "%" field, byte 0x64 -> 50.0;  0xFF -> NotAvailable;  0xFE -> Error
//   2-bit field with values {0: off, 1: on}, bits 01 -> text "on"
DecodedField decodeField(const FieldSpec& spec, std::span<const uint8_t> data);

}  // namespace corvane::decode
