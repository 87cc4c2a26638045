#include "modules/AddressList.h"

#include <cctype>

namespace corvane {

namespace {

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

uint8_t ParseModuleNumber(std::string_view text) {
    text = trimSpaces(text);
    if (text.empty()) return 0;
    const bool hex = text.back() == 'h' || text.back() == 'H';
    if (hex) text.remove_suffix(1);
    uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digit = c - '0';
        } else if (hex && std::isxdigit(static_cast<unsigned char>(c))) {
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        } else {
            break;  // reading stops at the first character that is not a digit
        }
        value = (value * (hex ? 16 : 10) + static_cast<uint32_t>(digit)) & 0xFFFFFF;
    }
    return static_cast<uint8_t>(value & 0xFF);
}

AddressSet ParseAddressList(std::string_view text) {
    AddressSet set;
    while (true) {
        size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            set.set(ParseModuleNumber(item));
        } else {
            unsigned first = ParseModuleNumber(item.substr(0, dash));
            unsigned last = ParseModuleNumber(item.substr(dash + 1));
            if (first < last) {
                for (unsigned a = first; a <= last; ++a) set.set(a);
            }
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return set;
}

std::string CompactRangeList(const AddressSet& set) {
    std::string text;
    bool inRun = false;
    for (unsigned a = 0; a < 255; ++a) {
        if (set[a] && !inRun) {
            text += std::to_string(a);
            inRun = set[a + 1];
            text += inRun ? "-" : ",";
        } else if (!set[a] && inRun) {
            text += std::to_string(a - 1) + ",";
            inRun = false;
        }
    }
    if (inRun) {
        text += set[255] ? "255" : "254";
    } else if (set[255]) {
        text += "255";  // a lone 255 would otherwise vanish from the report
    }
    return text;
}

}  // namespace corvane
