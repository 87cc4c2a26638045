#include "sim/relay/LoginQuery.h"

namespace corvane::sim {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            int high = hexValue(text[i + 1]);
            int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<LoginQuery> parseLoginQuery(std::string_view target) {
    LoginQuery query;
    size_t mark = target.find('?');
    query.path = std::string(target.substr(0, mark));
    if (mark == std::string_view::npos) return query;
    std::string_view rest = target.substr(mark + 1);
    while (!rest.empty()) {
        size_t amp = rest.find('&');
        std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        size_t eq = pair.find('=');
        std::string_view key = pair.substr(0, eq);
        std::string_view raw =
            eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
        auto value = percentDecode(raw);
        if (!value) return std::nullopt;
        if (key == "username") query.userName = std::move(*value);
        if (key == "password") query.password = std::move(*value);
    }
    return query;
}

}  // namespace corvane::sim
