#pragma once

#include <functional>
#include <string>

#include "debugport/Command.h"

namespace corvane {

// A command whose report is produced by a function: the way the parts of the tool that have
// no debug-port dependency (the manager's "slots", the device table's "devs") are registered.
class FunctionCommand final : public Command {
  public:
    using Report = std::function<std::string(const std::string& parameter)>;
    explicit FunctionCommand(Report report) : report_(std::move(report)) {}
    void Execute(const std::string& parameter, DebugSink& out) override;

  private:
    Report report_;
};

}  // namespace corvane
