#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "logs/LogCompression.h"

namespace corvane {

// The files of a rotating recording in one folder: their names, which sort in time order, and
// the ring that keeps the last days or gigabytes of them.
//
// A file is named after the time (UTC) of its first frame:
//   corvane-20261210-070226.log[.gz|.zst]     and, when two begin in the same second,
//   corvane-20261210-070226-2.log ... (the number orders them)
// Files of other names in the folder are never listed, counted or deleted.
//
// Stateless apart from the folder's path; called from the recorder's writer thread.
class RecordingFolder {
  public:
    struct File {
        std::string path;
        int64_t startMicros = 0;  // from the name, to the second
        unsigned sequence = 1;    // 1 for the first file of its second
        uint64_t bytes = 0;
    };

    explicit RecordingFolder(std::string folder) : folder_(std::move(folder)) {}

    // "corvane-20261210-070226[-N].log" + the compression's ending, in the folder.
    std::string pathFor(int64_t startMicros, unsigned sequence, LogCompression compression) const;
    // A name of a file that does not exist yet for a file starting at `startMicros`.
    std::string freshPath(int64_t startMicros, LogCompression compression) const;
    // The recording's files, oldest first.
    std::vector<File> list() const;
    // Deletes the oldest files (never `current`) while the files hold more than `keepBytes`
    // (0: no limit), and those whose content ended more than `keepDays` before `nowMicros`
    // (a file's content ends where the next file begins; 0: no limit). Returns how many went.
    size_t prune(uint64_t keepBytes, int keepDays, int64_t nowMicros,
                 const std::string& current) const;

    // "corvane-20261210-070226-3.log.gz" -> start and sequence; false for any other name.
    static bool parseName(const std::string& name, int64_t& startMicros, unsigned& sequence);

  private:
    std::string folder_;
};

}  // namespace corvane
