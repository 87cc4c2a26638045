#pragma once

#include <string>
#include <vector>

#include "platform/Shell.h"

namespace corvane {

// The shell on Linux: executables are spawned directly (posix_spawn, the parameter text split
// into words at blanks, no shell in between); other existing files go to xdg-open. A reaper
// thread collects each child when it ends, so that the programs the tool starts never linger
// as zombies. killImage walks /proc and sends SIGKILL.
class SystemShell final : public Shell {
  public:
    bool open(const std::string& file, const std::string& parameters) override;
    void killImage(const std::string& name) override;

    // The parameter text as an argument list: words separated by blanks.
    //   " 66 64 " -> {"66", "64"};  "-v  a" -> {"-v", "a"};  "" -> {}
    static std::vector<std::string> splitWords(const std::string& parameters);
};

}  // namespace corvane
