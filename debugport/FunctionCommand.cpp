#include "debugport/FunctionCommand.h"

namespace corvane {

void FunctionCommand::Execute(const std::string& parameter, DebugSink& out) {
    if (!report_) return;
    std::string text = report_(parameter);
    if (!text.empty()) out.write(text);
}

}  // namespace corvane
