#include "modules/ProgramFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>

#include "platform/FileInfo.h"

namespace corvane {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The kind is decided on the lower-case path; a leading match (".exe" as a whole name) does
// not count.
bool containsAfterFirst(const std::string& lower, const char* part) {
    return lower.size() > 1 && lower.find(part, 1) != std::string::npos;
}

}  // namespace

bool ProgramFile::hasProgramHeader(std::span<const uint8_t> head) {
    static constexpr std::array<uint8_t, 4> kElf{0x7F, 'E', 'L', 'F'};
    if (head.size() >= kElf.size() && std::equal(kElf.begin(), kElf.end(), head.begin()))
        return true;
    return head.size() >= 2 && head[0] == '#' && head[1] == '!';
}

bool ProgramFile::isLinuxProgram(const std::string& path) {
    if (!FileInfo::isExecutable(path)) return false;
    std::ifstream in(path, std::ios::binary);
    std::array<uint8_t, 4> head{};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    return hasProgramHeader(
        std::span<const uint8_t>(head.data(), static_cast<size_t>(in.gcount())));
}

bool ProgramFile::isProgram(const std::string& path) {
    return containsAfterFirst(lowerCase(path), ".exe") || isLinuxProgram(path);
}

ModuleType ProgramFile::kindOfChosenFile(const std::string& path) {
    if (isProgram(path)) return ModuleType::Program;
    const std::string lower = lowerCase(path);
    if (containsAfterFirst(lower, ".def")) return ModuleType::QuillonModule;
    if (containsAfterFirst(lower, ".cvdl")) return ModuleType::DeviceList;
    return ModuleType::Script;
}

}  // namespace corvane
