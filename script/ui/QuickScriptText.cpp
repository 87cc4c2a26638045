#include "script/ui/QuickScriptText.h"

#include <fstream>
#include <limits>

#include "platform/RegularFile.h"
#include "script/ScriptText.h"

namespace corvane {

std::vector<std::string> QuickScriptText::Load(const std::string& path) {
    // Only a regular file: a FIFO would block the window, a device never end. No size limit:
    // running saves the edit over the file, so a cut file would be lost.
    std::string text;
    if (RegularFile::readAll(path, std::numeric_limits<size_t>::max(), text) !=
        RegularFile::Status::Ok)
        return {};
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()),
                                         text.size());
    std::vector<std::string> lines;
    size_t position = 0;
    std::string line;
    for (;;) {
        const size_t start = position;
        if (ReadScriptLine(bytes, position, line)) {
            lines.push_back(line);
            continue;
        }
        // The unterminated rest, filtered as a line is.
        std::string rest;
        for (size_t i = start; i < bytes.size(); ++i) {
            if (IsScriptByte(bytes[i])) rest.push_back(static_cast<char>(bytes[i]));
        }
        if (!rest.empty()) lines.push_back(rest);
        return lines;
    }
}

std::string QuickScriptText::Serialise(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (!(i + 1 == lines.size() && lines[i].empty())) text += "\r\n";
    }
    return text;
}

bool QuickScriptText::Save(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << Serialise(lines);
    return static_cast<bool>(out.flush());
}

}  // namespace corvane
