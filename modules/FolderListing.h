#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The entries of one folder, sorted by name so that scans come out the same every time.
class FolderListing {
  public:
    // Names of the entries whose name ends in `extension` (".RVC"), compared
    // case-insensitively as the file patterns of module folders always were. Empty when the
    // folder cannot be listed.
    static std::vector<std::string> filesWithExtension(const std::string& folder,
                                                       std::string_view extension);
    // Names of every entry that is not a folder.
    static std::vector<std::string> files(const std::string& folder);
    // Names of the subfolders ("." and ".." never appear).
    static std::vector<std::string> subfolders(const std::string& folder);
    // "Tool.RVC" ends in ".rvc" -> true; "rvc" -> false (the name must have a stem).
    static bool hasExtension(std::string_view name, std::string_view extension);
};

}  // namespace corvane
