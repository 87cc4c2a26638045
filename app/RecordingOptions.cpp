#include "app/RecordingOptions.h"

#include <algorithm>
#include <charconv>

#include "platform/IntegerSetting.h"

namespace corvane {

std::optional<int> RecordingOptions::parseCount(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::optional<LogCompression> RecordingOptions::parseCompression(const std::string& text) {
    if (text == "none") return LogCompression::None;
    if (text == "gz") return LogCompression::Gzip;
    if (text == "zst") return LogCompression::Zstd;
    return std::nullopt;
}

namespace {

constexpr const char* kSection = "Recording";

// The stored numbers of the compressions.
int numberOf(LogCompression c) {
    return c == LogCompression::Gzip ? 1 : c == LogCompression::Zstd ? 2 : 0;
}
LogCompression compressionOf(int number) {
    return number == 1   ? LogCompression::Gzip
           : number == 2 ? LogCompression::Zstd
                         : LogCompression::None;
}

int storedValue(SettingsStore& store, const char* name, int fallback) {
    return std::max(IntegerSetting(store, kSection, name, fallback).value(), 0);
}

}  // namespace

RecordingOptions RecordingOptions::stored(SettingsStore& store) {
    RecordingOptions o;
    o.fileMinutes = storedValue(store, "FileMinutes", 60);
    o.fileMB = storedValue(store, "FileMB", 100);
    o.keepDays = storedValue(store, "KeepDays", 7);
    o.keepGB = storedValue(store, "KeepGB", 10);
    o.compression = compressionOf(storedValue(store, "Compression", 0));
    return o;
}

void RecordingOptions::store(SettingsStore& store) const {
    const auto put = [&store](const std::optional<int>& given, const char* name) {
        if (given) IntegerSetting(store, kSection, name, *given).set(*given);
    };
    put(fileMinutes, "FileMinutes");
    put(fileMB, "FileMB");
    put(keepDays, "KeepDays");
    put(keepGB, "KeepGB");
    if (compression) put(numberOf(*compression), "Compression");
}

RotationSettings RecordingOptions::settings(SettingsStore& store) const {
    const RecordingOptions saved = stored(store);
    RotationSettings s;
    s.fileSeconds = int64_t{fileMinutes.value_or(*saved.fileMinutes)} * 60;
    s.fileBytes = static_cast<uint64_t>(fileMB.value_or(*saved.fileMB)) << 20;
    s.keepDays = keepDays.value_or(*saved.keepDays);
    s.keepBytes = static_cast<uint64_t>(keepGB.value_or(*saved.keepGB)) << 30;
    s.compression = compression.value_or(*saved.compression);
    return s;
}

}  // namespace corvane
