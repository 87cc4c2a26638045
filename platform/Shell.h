#pragma once

#include <string>

namespace corvane {

// The desktop shell as the tool uses it: start a program or open a file with the verb "open",
// and stop programs by image name. Nothing waits for what it starts.
class Shell {
  public:
    virtual ~Shell() = default;
    // Starts `file` with the parameter text `parameters`. False when it could not be started
    // (missing, not startable); what the started program does afterwards is its own business.
    virtual bool open(const std::string& file, const std::string& parameters) = 0;
    // Forcibly stops every process of this user whose image name is `name` (a path counts by
    // its last component), together with its child processes.
    virtual void killImage(const std::string& name) = 0;
};

}  // namespace corvane
