#include "script/DatumSelector.h"

namespace corvane {

uint32_t NotAvailableValue(uint8_t sel) {
    if (IsBitField(sel)) return (1u << sel) - 1;
    switch (sel) {
        case selector::kByte:
            return 0xFF;
        case selector::kWord:
            return 0xFFFF;
        case selector::kLong:
            return 0xFFFFFFFF;
        default:
            return 0;
    }
}

namespace {

// A digit's index: "1" -> 0 ... "8" -> 7; a missing digit reads as data that is not there.
int DigitIndex(std::string_view expression, size_t at) {
    if (at >= expression.size()) return -1;
    return expression[at] - '1';
}

}  // namespace

DatumSelection SelectorFromExpression(std::string_view expression) {
    DatumSelection s;
    if (expression.empty()) return s;
    const char letter = expression.front();
    const bool bitField =
        letter == 'F' || letter == 'T' || letter == 'N' || letter == 'U' || letter == 'V';
    if (bitField) {
        s.selector = letter == 'F'   ? 2
                     : letter == 'T' ? 3
                     : letter == 'N' ? 4
                     : letter == 'U' ? 5
                                     : 6;
        s.byteIndex = DigitIndex(expression, 1);
        s.bitShift = DigitIndex(expression, 2);
        if (letter == 'F') {
            s.format = "#0=0#1=1#2=Err#3=N/D#";
            s.formatKind = FormatKind::Enumerated;
        } else {
            s.format = "%2.0f";
        }
        return s;
    }
    switch (letter) {
        case 'B':
            s.selector = selector::kByte;
            s.format = "%3.0f";
            break;
        case 'W':
            s.selector = selector::kWord;
            s.format = "%8.3f";
            break;
        case 'L':
            s.selector = selector::kLong;
            s.format = "%12.3f";
            break;
        case 'P':
            s.selector = selector::kPacket;
            return s;
        default:
            return s;
    }
    s.byteIndex = DigitIndex(expression, 1);
    return s;
}

}  // namespace corvane
