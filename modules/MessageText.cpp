#include "modules/MessageText.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace corvane {

namespace {

constexpr uint8_t kMessagePriority = 6;

void skipSpaces(std::string_view& text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
}

std::string_view takeWord(std::string_view& text) {
    size_t space = text.find(' ');
    std::string_view word = text.substr(0, space);
    text.remove_prefix(space == std::string_view::npos ? text.size() : space);
    skipSpaces(text);
    return word;
}

// Leading hexadecimal digits; saturates instead of wrapping, so a huge DGN stays invalid.
uint32_t readHex(std::string_view word) {
    uint64_t value = 0;
    for (char c : word) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) break;
        int digit = std::isdigit(static_cast<unsigned char>(c))
                        ? c - '0'
                        : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) value = 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<RvcSendRequest> ParseMessageText(std::string_view text, uint8_t target) {
    skipSpaces(text);
    const std::string_view word = takeWord(text);
    std::string dgnText(word);
    if (size_t xx = dgnText.find("XX"); xx != std::string::npos) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", target);
        dgnText.replace(xx, 2, hex);
    }
    const uint32_t dgn = readHex(dgnText);
    if (dgn == 0 && word != "00000") return std::nullopt;

    std::vector<uint8_t> data;
    while (!text.empty()) {
        data.push_back(static_cast<uint8_t>(readHex(takeWord(text)) & 0xFF));
        if (data.size() > kMaxMessageData) return std::nullopt;  // refused, not cut short
    }
    if (data.empty()) return std::nullopt;
    return makeSendRequest(dgn, kMessagePriority, data);
}

}  // namespace corvane
