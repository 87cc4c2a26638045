#include "debugport/Command.h"

namespace corvane {

void Command::Execute(const std::string& parameter, DebugSink& out) {
    out.write("param=" + parameter + "\n");
}

}  // namespace corvane
