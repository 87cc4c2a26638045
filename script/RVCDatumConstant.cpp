#include "script/RVCDatumConstant.h"

#include "script/ScriptText.h"

namespace corvane {

std::unique_ptr<RVCDatumConstant> RVCDatumConstant::FromArguments(std::string_view arguments) {
    auto datum = std::make_unique<RVCDatumConstant>();
    datum->name = ToUpper(SplitFirstWord(arguments).word);
    datum->title = std::string(TextBetween(arguments, '"', '"'));
    datum->selector = selector::kNone;
    datum->changed = 1;
    return datum;
}

std::string RVCDatumConstant::DisplayLine() const { return name + "\t" + title; }

}  // namespace corvane
