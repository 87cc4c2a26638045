#pragma once

#include <string_view>

namespace corvane {

// Same length, and at every position the same character or a "?" in the pattern.
// Case-sensitive; "*" is an ordinary character.
//   ("A?C", "ABC") -> true   ("A?C", "A?C") -> true   ("A?C", "ABCD") -> false
//   ("A?C", "abc") -> false  ("", "") -> true         ("", "x") -> false
bool WildcardEquals(std::string_view pattern, std::string_view text);

}  // namespace corvane
