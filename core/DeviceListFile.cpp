#include "core/DeviceListFile.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <locale>
#include <sstream>

#include "core/Vocabulary.h"
#include "debugport/DebugPrint.h"
#include "platform/FileReplacement.h"
#include "platform/RegularFile.h"

namespace corvane {

namespace {

// Sorts after every real key: those start with a DSA of at most 255.
constexpr std::string_view kEndKey = "999";
constexpr size_t kCreatedLimit = 127;
constexpr size_t kKeyModelLength = 6;
constexpr size_t kTokenStart = 8;

template <class... Args>
std::string format(const char* pattern, Args... args) {
    const int size = std::snprintf(nullptr, 0, pattern, args...);
    if (size <= 0) return {};
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), pattern, args...);
    text.pop_back();
    return text;
}

std::vector<DeviceListEntry> tableEntries(const DeviceTable& table) {
    std::vector<DeviceListEntry> entries;
    for (const auto& device : table.devices()) {
        const RVCNode node = table.findNode(device.sa);
        entries.push_back({device.dsa, node.make, node.model});
    }
    return entries;
}

// The next "*"-separated token from `position`, empty separators skipped.
std::string nextToken(std::string_view text, size_t& position) {
    const size_t start = text.find_first_not_of('*', position);
    if (start == std::string_view::npos) {
        position = text.size();
        return {};
    }
    size_t end = text.find('*', start);
    if (end == std::string_view::npos) end = text.size();
    position = end;
    return std::string(text.substr(start, end - start));
}

struct KeyedEntry {
    std::string key;
    DeviceListEntry entry;
};

// Stable, so entries with equal keys keep their order exactly as a bubble sort leaves them.
std::vector<KeyedEntry> sortedByKey(std::vector<DeviceListEntry> entries) {
    std::vector<KeyedEntry> keyed;
    keyed.reserve(entries.size());
    for (auto& entry : entries) keyed.push_back({DeviceListSortKey(entry), std::move(entry)});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const KeyedEntry& a, const KeyedEntry& b) { return a.key < b.key; });
    return keyed;
}

std::string entryLine(const char* label, const DeviceListEntry& entry) {
    return format("%s %3d %s %s %s\r\n", label, entry.dsa,
                  DeviceTypeAbbreviation(entry.dsa).c_str(), entry.make.c_str(),
                  entry.model.c_str());
}

}  // namespace

std::string DeviceListCreatedLine(const std::tm& localTime) {
    // The classic locale keeps the file's day and month names English under any user locale.
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::put_time(&localTime, "Created: %A, %B %d, %Y  at %H:%M:%S\r\n");
    std::string line = out.str();
    if (line.size() > kCreatedLimit) line.resize(kCreatedLimit);
    return line;
}

std::string DeviceListText(const DeviceTable& table, const std::string& createdLine) {
    std::string text = createdLine;
    for (const auto& entry : tableEntries(table)) {
        text += format("DSA %3d *%s*%s*", entry.dsa, entry.make.c_str(), entry.model.c_str());
        text += "\r\n";
    }
    return text;
}

std::string DeviceListExportPath(const std::string& chosen) {
    const size_t slash = chosen.find_last_of('/');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    return chosen.find('.', name) == std::string::npos ? chosen + ".cvdl" : chosen;
}

bool ExportDeviceList(const std::string& path, const DeviceTable& table, const Clock& clock,
                      ExportFailure* failure) {
    auto fail = [failure](ExportFailure why) {
        if (failure) *failure = why;
        return false;
    };
    if (failure) *failure = ExportFailure::None;
    const std::optional<std::tm> local = clock.localNow();
    if (!local) return fail(ExportFailure::NotWritten);
    const std::string text = DeviceListText(table, DeviceListCreatedLine(*local));

    FileReplacement file(path);
    if (!file.opened()) return fail(ExportFailure::NotCreated);
    file.stream().write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file.commit()) return fail(ExportFailure::NotWritten);
    return true;
}

bool ExportDeviceList(const std::string& path, const DeviceTable& table, ExportFailure* failure) {
    return ExportDeviceList(path, table, SystemClock(), failure);
}

bool ReadDeviceListLine(std::span<const uint8_t> bytes, size_t& position, std::string& line) {
    line.clear();
    while (position < bytes.size()) {
        const uint8_t byte = bytes[position++];
        if (byte == '\n') return true;
        if (byte >= 16 && byte <= 127) line.push_back(static_cast<char>(byte));
    }
    return false;
}

std::optional<DeviceListEntry> ParseDeviceListLine(std::string_view line) {
    if (line.substr(0, 3) != "DSA") return std::nullopt;
    DeviceListEntry entry;
    unsigned value = 0;
    std::string_view digits = line.size() > 4 ? line.substr(4, 3) : std::string_view{};
    size_t i = digits.find_first_not_of(' ');
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
        value = value * 10 + static_cast<unsigned>(digits[i] - '0');
    }
    entry.dsa = static_cast<uint8_t>(value);
    if (line.size() > kTokenStart) {
        size_t position = kTokenStart;
        entry.make = nextToken(line, position);
        entry.model = nextToken(line, position);
    }
    return entry;
}

std::string DeviceListSortKey(const DeviceListEntry& entry) {
    return format("%3d", entry.dsa) + entry.model.substr(0, kKeyModelLength) + entry.make;
}

std::string CompareDeviceListText(const std::string& path, std::span<const uint8_t> fileBytes,
                                  const DeviceTable& table) {
    std::string report = "Comparing " + path + "\r\n";

    std::vector<DeviceListEntry> saved;
    size_t position = 0;
    std::string line;
    while (ReadDeviceListLine(fileBytes, position, line)) {
        if (auto entry = ParseDeviceListLine(line)) saved.push_back(std::move(*entry));
    }
    const auto file = sortedByKey(std::move(saved));
    const auto current = sortedByKey(tableEntries(table));

    bool allMatched = true;
    size_t f = 0;
    size_t c = 0;
    while (f < file.size() || c < current.size()) {
        const std::string_view fileKey = f < file.size() ? file[f].key : kEndKey;
        const std::string_view currentKey = c < current.size() ? current[c].key : kEndKey;
        const int order = fileKey.compare(currentKey);
        if (order == 0) {
            ++f;
            ++c;
        } else if (order < 0) {
            report += entryLine("Missing:", file[f++].entry);
            allMatched = false;
        } else {
            report += entryLine("Extra  :", current[c++].entry);
            allMatched = false;
        }
    }
    if (allMatched) report += "Device Lists Match.";
    return report;
}

std::optional<std::string> CompareDeviceList(const std::string& path, const DeviceTable& table) {
    std::string text;
    const RegularFile::Status read = RegularFile::readAll(path, kMaxDeviceListBytes, text);
    if (read != RegularFile::Status::Ok) {
        DebugPrint("Device list %s %s\r\n", path.c_str(),
                   RegularFile::describe(read, kMaxDeviceListBytes).c_str());
        return std::nullopt;
    }
    return CompareDeviceListText(
        path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), table);
}

}  // namespace corvane
