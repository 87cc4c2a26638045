#pragma once

#include <fstream>
#include <string>

namespace corvane {

// A file written in full beside its final name ("name.part") and renamed over that name only
// once every byte is on disk: a write that fails half way (a full disk) leaves an earlier file
// of the name as it was, and no part file behind.
class FileReplacement {
  public:
    explicit FileReplacement(std::string path);
    // Removes the part file unless it was committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Whether the part file could be created.
    bool opened() const { return opened_; }
    std::ofstream& stream() { return out_; }
    // Closes the part file and renames it over the final name; false (and the part file gone)
    // when it could not be written whole or renamed.
    bool commit();

  private:
    void discard();

    std::string path_;
    std::string temporary_;
    std::ofstream out_;
    bool opened_ = false;
    bool finished_ = false;
};

}  // namespace corvane
