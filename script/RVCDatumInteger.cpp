#include "script/RVCDatumInteger.h"

#include "script/ScriptText.h"

namespace corvane {

std::unique_ptr<RVCDatumInteger> RVCDatumInteger::FromArguments(std::string_view arguments) {
    auto datum = std::make_unique<RVCDatumInteger>();
    datum->name = ToUpper(SplitFirstWord(arguments).word);
    datum->selector = selector::kWord;
    datum->raw = 0;
    datum->format = "%.0f";
    datum->formatKind = FormatKind::Printf;
    return datum;
}

std::string RVCDatumInteger::DisplayLine() const { return name + "\t" + ValueText(); }

void RVCDatumInteger::Increment() {
    ++raw;
    changed = 1;
}

void RVCDatumInteger::Zero() {
    raw = 0;
    changed = 1;
}

}  // namespace corvane
