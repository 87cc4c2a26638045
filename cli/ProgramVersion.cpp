#include "cli/ProgramVersion.h"

namespace corvane {

std::string ProgramVersion::text() {
    return std::to_string(kMajor) + "." + std::to_string(kMinor) + " build " +
           std::to_string(kBuild);
}

}  // namespace corvane
