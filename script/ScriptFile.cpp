#include "script/ScriptFile.h"

#include "platform/RegularFile.h"
#include "script/ScriptText.h"

namespace corvane {

bool ScriptFile::Open(const std::string& path) {
    Close();
    // Only regular files: a device such as /dev/zero would never deliver a line, a FIFO
    // would block the opening. Read-only: a script shipped on a read-only medium must run.
    file_ = RegularFile::open(path).releaseAsStream();
    return file_ != nullptr;
}

void ScriptFile::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

bool ScriptFile::ReadLine(std::string& line) {
    line.clear();
    if (file_ == nullptr) return false;
    return ReadScriptLineFrom([this]() -> int { return std::fgetc(file_); }, line);
}

uint32_t ScriptFile::Tell() const {
    if (file_ == nullptr) return 0;
    const long position = std::ftell(file_);
    return position < 0 ? 0 : static_cast<uint32_t>(position);
}

void ScriptFile::Seek(uint32_t offset) {
    if (file_ != nullptr) std::fseek(file_, static_cast<long>(offset), SEEK_SET);
}

void ScriptFile::SeekEnd() {
    if (file_ != nullptr) std::fseek(file_, 0, SEEK_END);
}

}  // namespace corvane
