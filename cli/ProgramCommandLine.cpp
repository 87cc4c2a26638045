#include "cli/ProgramCommandLine.h"

#include "cli/ProgramVersion.h"

namespace corvane {

ProgramCommandLine::ProgramCommandLine(std::string program, std::string usage, std::FILE* out,
                                       std::FILE* err)
    : program_(std::move(program)), usage_(std::move(usage)), out_(out), err_(err) {}

std::optional<int> ProgramCommandLine::answerStandard(std::string_view word) const {
    if (word == "--help") {
        std::fputs(usage_.c_str(), out_);
    } else if (word == "--version") {
        std::fprintf(out_, "%s %s\n", program_.c_str(), ProgramVersion::text().c_str());
    } else {
        return std::nullopt;
    }
    std::fflush(out_);
    return 0;
}

int ProgramCommandLine::refuse(std::string_view problem) const {
    std::fprintf(err_, "%s: %.*s\n%s", program_.c_str(), static_cast<int>(problem.size()),
                 problem.data(), usage_.c_str());
    return kUsageError;
}

}  // namespace corvane
