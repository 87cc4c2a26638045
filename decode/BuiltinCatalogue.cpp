#include "decode/BuiltinCatalogue.h"

#include "decode/CatalogueText.h"

namespace corvane::decode {

// Generated at build time from the catalogue file.
extern const char kBuiltinCatalogueText[];
extern const size_t kBuiltinCatalogueSize;

std::string_view builtinCatalogueText() { return {kBuiltinCatalogueText, kBuiltinCatalogueSize}; }

const Catalogue& builtinCatalogue() {
    static const Catalogue catalogue = parseCatalogueText(builtinCatalogueText()).catalogue;
    return catalogue;
}

}  // namespace corvane::decode
