#pragma once

#include <string_view>

namespace corvane {

// Whether the text of the settings file can be trusted. The INI reader underneath skips what
// it does not understand and the next save would then rewrite the file without it, so
// "cannot be parsed" is decided here instead: the file is broken when it holds a NUL byte or
// a line that is none of
//   blank | "; comment" | "# comment" | "[group]" | "key=value" (non-empty key)
// A line ending in a backslash continues on the next line, which is then part of the value.
class SettingsFileCheck {
  public:
    static bool isWellFormed(std::string_view text);
};

}  // namespace corvane
