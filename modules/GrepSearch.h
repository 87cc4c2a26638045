#pragma once

#include <optional>
#include <regex>
#include <string>

namespace corvane {

// A pattern in the POSIX grep grammar, compiled once; nullopt when it is not a valid
// expression. Case-sensitive.
std::optional<std::regex> CompileGrep(const std::string& pattern);

// Does the compiled pattern match somewhere in text (a search, not a whole-text match)? An
// invalid pattern matches nothing.
bool GrepSearch(const std::optional<std::regex>& compiled, const std::string& text);

//   ("^Tin", "Tindrel")  -> true     ("rel", "Tindrel") -> true
//   ("Tin+", "Tindrel")  -> false (the plus sign is an ordinary character in grep)
//   ("[", "any")         -> false (invalid)
//   ("a\\{256\\}", ...)    -> false (a repeat count over 255 is refused as invalid)
bool GrepSearch(const std::string& pattern, const std::string& text);

}  // namespace corvane
