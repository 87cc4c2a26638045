#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "decode/Catalogue.h"

namespace corvane::decode {

// The most one catalogue file is read for, in either format: fields and value names (each
// copy by "like", "@names" or an alias counted) and messages. A hand-written file is far
// below; past them the file is read up to there and says so in its errors, so that no file
// can take the memory or the time of the start-up.
inline constexpr size_t kMaxEntriesPerFile = 200'000;
inline constexpr size_t kMaxMessagesPerFile = 4096;

// The catalogue's own text format: one message per block, one field per indented line.
//
//   # a comment
//   names lamp 0:off|1:on                      value names shared by several fields
//   1FFFD DC_SOURCE_STATUS_1                   a message: DGN in hex at the line's start
//     0    instance
//     2-3  dc_voltage V                        bytes 2 and 3; V over 16 bits: x 0.05
//     4-7  dc_current A                        A over 32 bits: x 0.001 - 2,000,000
//     1.2-3 lamp_status @lamp                  byte 1, bits 2 and 3, named by "lamp"
//     5    mode = 0:off|1:heat|2:cool          value names given in place
//     6    flow x0.1 o-10 L/min                explicit scale and offset, then the unit
//   1FFFC DC_SOURCE_STATUS_2 like 1FFFD        the same fields as an earlier message
//
// Positions: "B", "B-E" (bytes B to E), "B.b" and "B.b-e" (bits of byte B), "B-E.b-e" (bits of
// the little-endian number in bytes B to E), "B-" (to the end of the message, for text). Kinds
// other than numbers: "ascii", "hex", "dgn", "part:N", and "spn" / "spn-low-first" for the suspect
// parameter numbers of DM_RV and DM1. A unit's standard RV-C conversion applies unless x / o say
// otherwise.
// A field whose name its message already has is kept as "name_2" (and reported). Positions
// end at byte 1784 and a message has at most MessageSpec::kMaxFields fields.
struct CatalogueParse {
    Catalogue catalogue;
    std::vector<std::string> errors;  // "line 12: ...", one per line that was not taken
};
CatalogueParse parseCatalogueText(std::string_view text);

// One field position -> spec fields set; false when malformed.
//   "2-3" -> byte 2, 2 bytes;  "1.2-3" -> byte 1, bits 2-3;  "0-" -> byte 0 to the end
//   "0-3.21-31" -> bits 21-31 of the 32-bit number in bytes 0-3
bool parseFieldPosition(std::string_view text, FieldSpec& spec);

}  // namespace corvane::decode
