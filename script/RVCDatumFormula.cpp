#include "script/RVCDatumFormula.h"

#include "script/ScriptText.h"

namespace corvane {

std::unique_ptr<RVCDatumFormula> RVCDatumFormula::FromArguments(std::string_view arguments) {
    auto datum = std::make_unique<RVCDatumFormula>();
    datum->name = ToUpper(SplitFirstWord(arguments).word);
    datum->expression = std::string(TextBetween(arguments, '{', '}'));
    datum->format = "%12.3f";
    datum->formatKind = FormatKind::Printf;
    datum->changed = 1;
    return datum;
}

std::string RVCDatumFormula::ValueText() const {
    if (count == 0) return std::string(kNoDataText);
    // Enumerated lists do not apply to formulas.
    if (formatKind == FormatKind::Enumerated) return PrintfValue("%12.3f", value);
    if (IsTimeKind(formatKind)) return TimeText(formatKind, value);
    return PrintfValue(format, value);
}

std::string RVCDatumFormula::DisplayLine() const {
    std::string line = "\t";
    line += ValueText();
    return line;
}

void RVCDatumFormula::Zero() {
    value = 0.0;
    count = 0;
    changed = 1;
}

float RVCDatumFormula::Value() const { return static_cast<float>(value); }

void RVCDatumFormula::Update(double result) {
    value = result;
    count = 1;
    changed = 1;
}

void RVCDatumFormula::UpdateMin(double result) {
    if (count == 0) return Update(result);
    if (result < value) value = result;
    ++count;
    changed = 1;
}

void RVCDatumFormula::UpdateMax(double result) {
    if (count == 0) return Update(result);
    if (result > value) value = result;
    ++count;
    changed = 1;
}

void RVCDatumFormula::UpdateMean(double result) {
    value = (count * value + result) / (count + 1);
    ++count;
    changed = 1;
}

void RVCDatumFormula::UpdateSum(double result) {
    value += result;
    ++count;
    changed = 1;
}

}  // namespace corvane
