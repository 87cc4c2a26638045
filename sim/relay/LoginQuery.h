#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane::sim {

// The login request as the relay reads it.
struct LoginQuery {
    std::string path;
    std::string userName;
    std::string password;
};

// A request target -> its path and the decoded "username" and "password" values.
//   "/login/credentials.php?username=a%26b&password=x%20y" -> {"/login/credentials.php",
//   "a&b", "x y"};  "+" also decodes to a blank.  A malformed escape ("%4") -> none.
std::optional<LoginQuery> parseLoginQuery(std::string_view target);

// "a%26b" -> "a&b"; none for a "%" not followed by two hex digits.
std::optional<std::string> percentDecode(std::string_view text);

}  // namespace corvane::sim
