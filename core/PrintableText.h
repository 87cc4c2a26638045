#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Bytes from the bus (a PRODUCT_ID's make, model and serial, a message's text field) or from a
// user's file -> text that JSON, HTML and a terminal can all carry: valid UTF-8 is kept as it
// is; any other byte from A0 up is read as Latin-1, the likeliest meaning of a lone accented
// letter; control bytes and the other stray bytes become U+FFFD. The result is always valid UTF-8
// without control characters.
//   "Brightwater"        -> "Brightwater"
//   41 E9 ("A" + Latin-1 e-acute) -> "A\u00E9" (C3 A9)
//   "Caf\u00E9" as UTF-8 -> unchanged
//   41 00 42 / 41 85 42  -> "A\uFFFDB"
std::string printableText(std::string_view bytes);

}  // namespace corvane
