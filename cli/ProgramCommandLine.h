#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The words every program of the tool answers the same way, and how each one refuses a command
// line it cannot use. A program keeps its own parsing and asks this object about the rest:
//   --help       -> the usage on `out`; exit status 0
//   --version    -> "corvane-sim 2.3 build 1" on `out`; exit status 0
//   refuse(text) -> "corvane-sim: text", then the usage, on `err`; exit status 2
// A mistyped option is never ignored: the technician would not notice that it had no effect.
class ProgramCommandLine {
  public:
    static constexpr int kUsageError = 2;

    // `usage` is the whole usage text, every line ended by "\n".
    ProgramCommandLine(std::string program, std::string usage, std::FILE* out = stdout,
                       std::FILE* err = stderr);

    // The exit status when `word` is --help or --version (after answering it); nothing for any
    // other word.
    std::optional<int> answerStandard(std::string_view word) const;
    // Tells what was wrong and how the program is used; returns kUsageError.
    int refuse(std::string_view problem) const;

    const std::string& usage() const { return usage_; }

  private:
    std::string program_;
    std::string usage_;
    std::FILE* out_;
    std::FILE* err_;
};

}  // namespace corvane
