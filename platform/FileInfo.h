#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

// A local calendar time, as file dates and date stamps show it.
struct LocalTime {
    int year = 0;   // e.g. 2024
    int month = 0;  // 1-12
    int day = 0;    // 1-31
    int hour = 0;
    int minute = 0;
};

// The few facts about files and times the modules need from the operating system.
class FileInfo {
  public:
    // Seconds since 1970 (UTC) of the file's last modification; nullopt when unreadable.
    static std::optional<int64_t> lastWriteTime(const std::string& path);
    // A regular file with an execute bit set.
    static bool isExecutable(const std::string& path);
    // The folder holding this program's executable, without a trailing "/"; empty if unknown.
    static std::string executableFolder();
    // Seconds since 1970 (UTC) in the local time zone; nullopt when it cannot be computed.
    static std::optional<LocalTime> toLocalTime(int64_t epochSeconds);
};

}  // namespace corvane
