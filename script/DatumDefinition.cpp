#include "script/DatumDefinition.h"

#include "script/ScriptText.h"

namespace corvane {

namespace {

// The first `op` that stands between two terms, not the sign of the number after "*", "+",
// "-" or inside an exponent ("1E-3").
size_t FindOperator(std::string_view expression, char op) {
    for (size_t i = expression.find(op); i != std::string_view::npos;
         i = expression.find(op, i + 1)) {
        const size_t before =
            i == 0 ? std::string_view::npos : expression.find_last_not_of(' ', i - 1);
        if (before == std::string_view::npos) return i;
        const char c = expression[before];
        if (c != '*' && c != '+' && c != '-' && c != 'E') return i;
    }
    return std::string_view::npos;
}

}  // namespace

bool ApplyFormatText(std::string_view text, std::string& format, FormatKind& kind) {
    if (text.empty()) return false;
    switch (text.front()) {
        case '#':
            format = std::string(text) + "#";
            kind = FormatKind::Enumerated;
            return true;
        case '%': {
            std::string printf(text);
            for (char& c : printf) {
                if (c == 'F') c = 'f';
            }
            if (!IsSafeFloatFormat(printf)) return false;
            format = std::move(printf);
            kind = FormatKind::Printf;
            return true;
        }
        case 'M':
            kind = text == "MDEC" ? FormatKind::MinutesDecimal : FormatKind::Minutes;
            return true;
        case 'S':
            kind = text == "SDEC" ? FormatKind::SecondsDecimal : FormatKind::Seconds;
            return true;
        default:
            return false;
    }
}

DatumDefinition ParseDatumDefinition(std::string_view arguments) {
    DatumDefinition d;
    const WordSplit nameSplit = SplitFirstWord(arguments);
    d.name = ToUpper(nameSplit.word);
    const std::string_view address = SplitFirstWord(nameSplit.rest).word;

    std::string_view dgnText = address;
    std::string_view instanceText = "FF";
    std::string_view secondaryText = "FF";
    if (const size_t colon = address.find(':'); colon != std::string_view::npos) {
        dgnText = address.substr(0, colon);
        instanceText = address.substr(colon + 1);
        if (const size_t second = instanceText.find(':'); second != std::string_view::npos) {
            secondaryText = instanceText.substr(second + 1);
            instanceText = instanceText.substr(0, second);
        }
    }
    d.dgn = ParseHex(dgnText);
    d.instance = static_cast<uint8_t>(ParseHex(instanceText));
    d.secondaryInstance = static_cast<uint8_t>(ParseHex(secondaryText));

    const std::string expression = ToUpper(TextBetween(arguments, '[', ']'));
    d.selection = SelectorFromExpression(expression);
    d.format = d.selection.format;
    d.formatKind = d.selection.formatKind;
    const std::string_view e = expression;
    if (const size_t star = e.find('*'); star != std::string_view::npos) {
        d.multiplier = ParseReal(e.substr(star + 1));
    }
    if (const size_t plus = FindOperator(e, '+'); plus != std::string_view::npos) {
        d.offset = ParseReal(e.substr(plus + 1));
    }
    if (const size_t minus = FindOperator(e, '-'); minus != std::string_view::npos) {
        d.offset = -ParseReal(e.substr(minus + 1));
    }

    d.title = std::string(TextBetween(arguments, '"', '"'));
    ApplyFormatText(TextBetween(arguments, '$', '$'), d.format, d.formatKind);
    return d;
}

}  // namespace corvane
