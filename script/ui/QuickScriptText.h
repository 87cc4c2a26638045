#pragma once

#include <string>
#include <vector>

namespace corvane {

// The Quick Script file as the Quick Script window reads and writes it. Qt-free.
class QuickScriptText {
  public:
    // The file's lines as a script reads them; a missing file has none. A last line without
    // LF is kept too: running saves the edit over the file, so dropping it would lose it.
    static std::vector<std::string> Load(const std::string& path);
    // Each line followed by CR LF, except an empty last line. Lines are written whole,
    // whatever their length.
    static std::string Serialise(const std::vector<std::string>& lines);
    // Replaces the file; false (nothing written) when it cannot be created.
    static bool Save(const std::string& path, const std::vector<std::string>& lines);
};

}  // namespace corvane
