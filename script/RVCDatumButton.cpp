#include "script/RVCDatumButton.h"

#include "script/ScriptText.h"

namespace corvane {

std::unique_ptr<RVCDatumButton> RVCDatumButton::FromArguments(std::string_view arguments) {
    auto datum = std::make_unique<RVCDatumButton>();
    datum->title = std::string(TextBetween(arguments, '"', '"'));
    datum->command = std::string(TextBetween(arguments, '[', ']'));
    datum->selector = selector::kNone;
    datum->visible = 1;
    datum->changed = 1;
    return datum;
}

std::string RVCDatumButton::DisplayLine() const { return "[ " + title + " ]"; }

}  // namespace corvane
