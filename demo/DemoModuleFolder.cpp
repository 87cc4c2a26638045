#include "demo/DemoModuleFolder.h"

#include <filesystem>
#include <system_error>

namespace corvane {

std::string DemoModuleFolder::find(const std::string& programFolder) {
    if (programFolder.empty()) return {};
    const std::filesystem::path program(programFolder);
    const std::filesystem::path candidates[] = {
        program.parent_path() / "lib" / "corvane" / kFolderName,
        program.parent_path() / "share" / "corvane" / kFolderName,
        program.parent_path() / kFolderName,
    };
    for (const auto& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::is_directory(candidate, ec))
            return candidate.lexically_normal().string();
    }
    return {};
}

}  // namespace corvane
