#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/RvcSendRequest.h"

namespace corvane {

// The message text of a Message module -> a request from the tool (priority 6), or nullopt
// when the text has no DGN, no data byte, or more data bytes than one message carries. The
// first word is the DGN in hexadecimal, its first "XX" replaced by the target address; the
// other words are data bytes (low 8 bits). Hex reading stops at the first non-hex character.
//   ("EAXX EB FE 00", 0x42) -> DGN 0xEA42, data EB FE 00
//   ("00000 01", t)         -> DGN 0, data 01         ("0 01", t)  -> nullopt
//   ("1FEDA", t)            -> nullopt (no data)      ("EAxx 00")  -> DGN 0xEA, data 00
std::optional<RvcSendRequest> ParseMessageText(std::string_view text, uint8_t target);

}  // namespace corvane
