#pragma once

#include <optional>
#include <string>

#include "logs/RotatingRecorder.h"
#include "platform/SettingsStore.h"

namespace corvane {

// The rotating recording of `corvane --headless --record FOLDER`: how often a new file
// begins, how large one grows, how much is kept and whether it is compressed. Each value
// comes from the command line when given there, else from the settings (section
// "Recording": FileMinutes 60, FileMB 100, KeepDays 7, KeepGB 10, Compression 0 none,
// 1 gzip, 2 zstd); 0 turns a limit off.
struct RecordingOptions {
    std::optional<int> fileMinutes;
    std::optional<int> fileMB;
    std::optional<int> keepDays;
    std::optional<int> keepGB;
    std::optional<LogCompression> compression;

    // A whole number of at least 0, as typed: "60" -> 60; "-1", "1.5", "x" -> nothing.
    static std::optional<int> parseCount(const std::string& text);
    // "none", "gz", "zst" -> the compression; anything else -> nothing.
    static std::optional<LogCompression> parseCompression(const std::string& text);

    // The settings of the recording: these values over the stored ones over the defaults.
    RotationSettings settings(SettingsStore& store) const;

    // Every value as stored, or its default where none is: what "Record Traffic..." offers.
    static RecordingOptions stored(SettingsStore& store);
    // Stores the values that are set, for the next recording of the window or of --record.
    void store(SettingsStore& store) const;
};

}  // namespace corvane
