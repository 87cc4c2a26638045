#include "logs/RecordingFolder.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <tuple>

namespace corvane {

namespace {

constexpr std::string_view kPrefix = "corvane-";
constexpr int64_t kMicrosPerSecond = 1'000'000;

bool digits(std::string_view text, size_t count, unsigned& value) {
    if (text.size() < count) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

}  // namespace

std::string RecordingFolder::pathFor(int64_t startMicros, unsigned sequence,
                                     LogCompression compression) const {
    const std::time_t seconds = static_cast<std::time_t>(startMicros / kMicrosPerSecond);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char name[64];
    std::snprintf(name, sizeof name, "corvane-%04d%02d%02d-%02d%02d%02d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::string path = (std::filesystem::path(folder_) / name).string();
    if (sequence > 1) path += "-" + std::to_string(sequence);
    path += ".log";
    path += compressionSuffix(compression);
    return path;
}

std::string RecordingFolder::freshPath(int64_t startMicros, LogCompression compression) const {
    // Any compression counts: one start time names one file.
    const int64_t second = startMicros / kMicrosPerSecond * kMicrosPerSecond;
    unsigned sequence = 1;
    for (const File& f : list()) {
        if (f.startMicros == second) sequence = std::max(sequence, f.sequence + 1);
    }
    return pathFor(startMicros, sequence, compression);
}

bool RecordingFolder::parseName(const std::string& name, int64_t& startMicros, unsigned& sequence) {
    std::string_view rest(name);
    if (rest.substr(0, kPrefix.size()) != kPrefix) return false;
    rest.remove_prefix(kPrefix.size());
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digits(rest, 4, year) || !digits(rest.substr(4), 2, month) ||
        !digits(rest.substr(6), 2, day) || rest.size() < 16 || rest[8] != '-' ||
        !digits(rest.substr(9), 2, hour) || !digits(rest.substr(11), 2, minute) ||
        !digits(rest.substr(13), 2, second))
        return false;
    rest.remove_prefix(15);
    sequence = 1;
    if (!rest.empty() && rest.front() == '-') {
        rest.remove_prefix(1);
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), sequence);
        if (ec != std::errc() || sequence < 2) return false;
        rest.remove_prefix(static_cast<size_t>(end - rest.data()));
    }
    if (rest != ".log" && rest != ".log.gz" && rest != ".log.zst") return false;
    std::tm utc{};
    utc.tm_year = static_cast<int>(year) - 1900;
    utc.tm_mon = static_cast<int>(month) - 1;
    utc.tm_mday = static_cast<int>(day);
    utc.tm_hour = static_cast<int>(hour);
    utc.tm_min = static_cast<int>(minute);
    utc.tm_sec = static_cast<int>(second);
    startMicros = static_cast<int64_t>(timegm(&utc)) * kMicrosPerSecond;
    return true;
}

std::vector<RecordingFolder::File> RecordingFolder::list() const {
    std::vector<File> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        File f;
        if (!entry.is_regular_file(error)) continue;
        if (!parseName(entry.path().filename().string(), f.startMicros, f.sequence)) continue;
        f.path = entry.path().string();
        f.bytes = entry.file_size(error);
        if (error) f.bytes = 0;
        files.push_back(std::move(f));
    }
    std::sort(files.begin(), files.end(), [](const File& a, const File& b) {
        return std::tie(a.startMicros, a.sequence) < std::tie(b.startMicros, b.sequence);
    });
    return files;
}

size_t RecordingFolder::prune(uint64_t keepBytes, int keepDays, int64_t nowMicros,
                              const std::string& current) const {
    std::vector<File> files = list();
    uint64_t total = 0;
    for (const File& f : files) total += f.bytes;
    const int64_t cutoff = nowMicros - int64_t{keepDays} * 86'400 * kMicrosPerSecond;
    size_t removed = 0;
    for (size_t i = 0; i + 1 < files.size(); ++i) {
        if (files[i].path == current) continue;
        const bool tooMuch = keepBytes > 0 && total > keepBytes;
        const bool tooOld = keepDays > 0 && files[i + 1].startMicros <= cutoff;
        if (!tooMuch && !tooOld) break;
        std::error_code error;
        if (std::filesystem::remove(files[i].path, error)) {
            total -= files[i].bytes;
            ++removed;
        }
    }
    return removed;
}

}  // namespace corvane
