#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/RVCNode.h"
#include "script/ValueFormat.h"

namespace corvane {

// The program version scripts compare with MINVERSION and read as OSVERSION.
inline constexpr std::string_view kScriptProgramVersion = "2.03.01";

// What tests, substitution and formulas read of a datum: its value text and how it is shown.
struct DatumReading {
    std::string valueText;
    FormatKind formatKind = FormatKind::Printf;
};

// Looks a datum up by its upper-case name; nothing when no datum has it.
using DatumLookup = std::function<std::optional<DatumReading>(std::string_view)>;

// Everything the three evaluators may read, gathered by the engine for one evaluation so that
// the evaluators themselves stay pure.
struct ScriptFacts {
    DatumLookup datum;
    std::string params;
    uint32_t waitTicks = 0;
    uint8_t target = 0xFF;
    std::optional<RVCNode> targetNode;  // nothing: the device table has no node at target
    double timerSeconds = 0.0;
    std::string baseFolder;
    std::optional<std::tm> localTime;  // DATETIME (nothing: an empty text)
};

struct TestOutcome {
    bool result = false;
    std::string log;  // a line for the script log when the test could not be read
};

// The text between the brackets of IF, MAKE, WAIT and ONEVENT: "hour == 12", "PARAMS != A".
TestOutcome EvaluateTest(std::string_view text, const ScriptFacts& facts);

// Replaces every "[TAG]" by its value, left to right. A value is never searched for tags
// again, so a datum whose value text holds its own tag cannot make substitution loop.
// An empty pair "[]" ends substitution: what follows stays as written.
std::string SubstituteTags(std::string_view text, const ScriptFacts& facts);

// A reverse-Polish expression over numbers and datum names: "a b + 2 /". Never fails: unknown
// words count as 0, operators short of operands are ignored, division by 0 gives 0 and pushes
// beyond the 40-value stack are ignored.
inline constexpr size_t kFormulaStackSize = 40;
double EvaluateFormula(std::string_view expression, const DatumLookup& datum);

}  // namespace corvane
