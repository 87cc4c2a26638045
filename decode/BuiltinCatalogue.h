#pragma once

#include <string_view>

#include "decode/Catalogue.h"

namespace corvane::decode {

// The catalogue text compiled into the program (decode/catalogue/rvc-messages.cat), so that a
// program decodes from any folder.
std::string_view builtinCatalogueText();

// That text, parsed once on first use and then shared read-only by every caller and thread.
const Catalogue& builtinCatalogue();

}  // namespace corvane::decode
