#include "modules/WildcardEquals.h"

namespace corvane {

bool WildcardEquals(std::string_view pattern, std::string_view text) {
    if (pattern.size() != text.size()) return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '?' && pattern[i] != text[i]) return false;
    }
    return true;
}

}  // namespace corvane
