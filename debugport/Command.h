#pragma once

#include <string>

#include "debugport/DebugPrint.h"

namespace corvane {

// One debug command, run on the debug port's listener thread with the text after the keyword.
// `out` is the connected client; what is written to it is lost once the client has gone.
class Command {
  public:
    virtual ~Command() = default;
    virtual void Execute(const std::string& parameter, DebugSink& out);
};

}  // namespace corvane
