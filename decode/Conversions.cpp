#include "decode/Conversions.h"

#include <array>
#include <cctype>
#include <utility>

namespace corvane::decode {

Conversion standardConversion(std::string_view unit, unsigned bits) {
    if (unit == "%") return bits == 8 ? Conversion{0.5, 0} : Conversion{};
    if (unit == "°C") {
        if (bits == 8) return {1, -40};
        if (bits == 16) return {0.03125, -273};
        return {};
    }
    if (unit == "V") return bits == 16 ? Conversion{0.05, 0} : Conversion{};
    if (unit == "A") {
        if (bits == 16) return {0.05, -1600};
        if (bits == 32) return {0.001, -2000000};
        return {};
    }
    if (unit == "Hz") return bits == 16 ? Conversion{1.0 / 128, 0} : Conversion{};
    return {};
}

std::string canonicalUnit(std::string_view unit) {
    std::string lower;
    for (char c : unit) {
        if (c != ' ') lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 16> kUnits{{
        {"v", "V"},
        {"a", "A"},
        {"pct", "%"},
        {"%", "%"},
        {"degc", "°C"},
        {"°c", "°C"},
        {"hz", "Hz"},
        {"w", "W"},
        {"var", "VAr"},
        {"sec", "s"},
        {"ah", "Ah"},
        {"rpm", "rpm"},
        {"liter", "L"},
        {"bitmap", ""},
        {"bit", ""},
        {"uint8", ""},
    }};
    for (const auto& [from, to] : kUnits) {
        if (lower == from) return std::string(to);
    }
    return std::string(unit);
}

std::string snakeCase(std::string_view text) {
    std::string out;
    bool gap = false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) {
            if (gap && !out.empty()) out += '_';
            out += static_cast<char>(std::tolower(u));
            gap = false;
        } else {
            gap = true;
        }
    }
    return out;
}

}  // namespace corvane::decode
