#include "script/ScriptConditions.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "script/ScriptText.h"

namespace corvane {

namespace {

// "!=" wins over "==" when a test holds both, as scripts have always been read.
struct OperatorSplit {
    bool notEqual = false;
    std::string_view value;
    std::string error;
};

OperatorSplit SplitOperator(std::string_view text) {
    OperatorSplit split;
    size_t at = text.find("!=");
    if (at != std::string_view::npos) {
        split.notEqual = true;
    } else {
        at = text.find("==");
        if (at == std::string_view::npos) {
            split.error = "No Operator in Expression" + std::string(text);
            return split;
        }
    }
    split.value = TrimSpaces(text.substr(at + 2));
    if (split.value.empty()) split.error = "Invalid Value in Expression" + std::string(text);
    return split;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool DatumEquals(const DatumReading& reading, std::string_view value) {
    const std::string_view shown = TrimSpaces(reading.valueText);
    if (value == kErrorRangeText || value == kNoDataText) return shown == value;
    if (reading.formatKind == FormatKind::Enumerated) return shown == value;
    return ParseReal(shown) == ParseReal(value);
}

std::string LocalDateTime(const std::optional<std::tm>& local) {
    if (!local) return {};
    char text[128];
    const size_t length = std::strftime(text, sizeof text, "%A, %B %d, %Y     %H:%M:%S", &*local);
    return std::string(text, length);
}

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string TagValue(const std::string& tag, const ScriptFacts& facts) {
    if (tag == "PARAMS") return facts.params;
    if (tag == "OSVERSION") return std::string(kScriptProgramVersion);
    if (tag == "MSTIMER") return Printf("%.3f", facts.timerSeconds);
    if (tag == "TIMER") return Printf("%.0f", facts.timerSeconds);
    if (tag == "BASEFOLDER") return facts.baseFolder;
    if (tag == "DATETIME") return LocalDateTime(facts.localTime);
    const RVCNode* node = facts.targetNode ? &*facts.targetNode : nullptr;
    if (tag == "TARGETMAKE") return node ? node->make : "NO TARGET";
    if (tag == "TARGETMODEL") return node ? node->model : "NO TARGET";
    if (tag == "TARGETSERNUM") return node ? node->serialNumber : "NO TARGET";
    if (tag == "TARGETIDNUM") return node ? node->idNumber : "NO TARGET";
    if (tag == "TARGET") {
        char text[16];
        std::snprintf(text, sizeof text, "%3d", facts.target);
        return text;
    }
    if (facts.datum) {
        if (auto reading = facts.datum(tag)) return reading->valueText;
    }
    return "Invalid Tag";
}

}  // namespace

TestOutcome EvaluateTest(std::string_view given, const ScriptFacts& facts) {
    const std::string_view text = TrimLeadingSpaces(given);
    const std::string tag = ToUpper(SplitFirstWord(text).word);

    if (tag == "WAIT") {
        const size_t at = text.find("==");
        if (at == std::string_view::npos) return {false, "Invalid WAIT Command"};
        return {static_cast<double>(facts.waitTicks) > ParseReal(text.substr(at + 2)), {}};
    }
    if (tag == "TARGETFOUND") return {facts.targetNode.has_value(), {}};
    if (tag == "!TARGETFOUND") return {!facts.targetNode.has_value(), {}};

    const bool special =
        tag == "PARAMS" || tag == "MINVERSION" || tag == "TARGETMODEL" || tag == "TARGETMAKE";
    std::optional<DatumReading> reading;
    if (!special) {
        if (!tag.empty() && facts.datum) reading = facts.datum(tag);
        if (!reading) return {false, "Invalid Tag in Expression " + std::string(text)};
    }
    const OperatorSplit op = SplitOperator(text);
    if (!op.error.empty()) return {false, op.error};

    bool equal = false;
    if (tag == "PARAMS") {
        equal = Contains(facts.params, op.value);
    } else if (tag == "MINVERSION") {
        // Compared as text: "10.00.00" is lower than "2.03.01".
        equal = op.value <= kScriptProgramVersion;
    } else if (tag == "TARGETMODEL" || tag == "TARGETMAKE") {
        if (!facts.targetNode) return {op.notEqual, {}};
        const std::string& field =
            tag == "TARGETMODEL" ? facts.targetNode->model : facts.targetNode->make;
        equal = Contains(field, op.value);
    } else {
        equal = DatumEquals(*reading, op.value);
    }
    return {op.notEqual ? !equal : equal, {}};
}

std::string SubstituteTags(std::string_view text, const ScriptFacts& facts) {
    std::string out;
    for (;;) {
        const size_t open = text.find('[');
        const size_t close = open == std::string_view::npos ? open : text.find(']', open + 1);
        if (close == std::string_view::npos || close == open + 1) break;
        out += text.substr(0, open);
        out += TagValue(ToUpper(text.substr(open + 1, close - open - 1)), facts);
        text.remove_prefix(close + 1);
    }
    out += text;
    return out;
}

double EvaluateFormula(std::string_view expression, const DatumLookup& datum) {
    std::array<double, kFormulaStackSize> stack{};
    size_t count = 0;
    std::string_view rest = TrimLeadingSpaces(expression);
    while (!rest.empty()) {
        const WordSplit split = SplitFirstWord(rest);
        const std::string word = ToUpper(split.word);
        rest = TrimLeadingSpaces(split.rest);
        if (word == "+" || word == "-" || word == "*" || word == "/") {
            if (count < 2) continue;
            const double b = stack[--count];
            double& a = stack[count - 1];
            if (word == "+") {
                a += b;
            } else if (word == "-") {
                a -= b;
            } else if (word == "*") {
                a *= b;
            } else {
                a = b == 0.0 ? 0.0 : a / b;
            }
            continue;
        }
        std::optional<DatumReading> reading;
        if (datum && !word.empty()) reading = datum(word);
        const double value = reading ? ParseReal(reading->valueText) : ParseReal(word);
        if (count < stack.size()) stack[count++] = value;
    }
    return count > 0 ? stack[count - 1] : 0.0;
}

}  // namespace corvane
