#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace corvane {

// An open script or dictionary file. Its position is the next line to run; jumps (GOTO, LOOP,
// IDLE, ABORT) move it. Owned by the one running script and used on the user-interface thread.
class ScriptFile {
  public:
    ScriptFile() = default;
    ~ScriptFile() { Close(); }
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    // Opens an existing regular file for reading; false when there is none or it cannot be read.
    bool Open(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    void Close();

    // The next line (see ReadScriptLineFrom); false at end of file or when closed.
    bool ReadLine(std::string& line);
    uint32_t Tell() const;
    void Seek(uint32_t offset);
    void SeekEnd();

  private:
    std::FILE* file_ = nullptr;
};

// ReadScriptLine over an open file: 1 when a line was delivered, 0 at end of file.
inline int ReadScriptLine(ScriptFile& file, std::string& line) {
    return file.ReadLine(line) ? 1 : 0;
}

}  // namespace corvane
