#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/DeviceTable.h"
#include "platform/Clock.h"

namespace corvane {

// The saved device list (".cvdl"): a "Created:" line, then one line per device in table order,
// every line ended "\r\n". The source address is not stored.
//   "Created: Monday, March 04, 2024  at 14:05:09\r\n"
//   "DSA  66 *Acme Power*PX-2000*\r\n"

// The first line for a local time, with English day and month names whatever the locale.
std::string DeviceListCreatedLine(const std::tm& localTime);

// The whole file: `createdLine` followed by a line per device, whose make and model are those
// of findNode(sa) ("Not Found" twice for the placeholder).
std::string DeviceListText(const DeviceTable& table, const std::string& createdLine);

// The Export command's name for a chosen path: ".cvdl" appended when the file name has no
// extension.   "/v/bus" -> "/v/bus.cvdl"   "/v/bus.txt" -> "/v/bus.txt"   "/v.d/bus" ->
// "/v.d/bus.cvdl"
std::string DeviceListExportPath(const std::string& chosen);

// Why an export did not take place: the file could not be created at all, or it was created
// but could not be written whole (a full disk).
enum class ExportFailure { None, NotCreated, NotWritten };

// Writes the file, dated by the clock's local time, through a temporary file renamed into
// place, so a failed export leaves any earlier file untouched. False when it could not be
// written, with the reason in `failure` when one is given.
bool ExportDeviceList(const std::string& path, const DeviceTable& table, const Clock& clock,
                      ExportFailure* failure = nullptr);
// The same, dated by the system clock.
bool ExportDeviceList(const std::string& path, const DeviceTable& table,
                      ExportFailure* failure = nullptr);

// Reads one line the way script lines are read: bytes 16-127 are kept, every other byte is
// dropped, LF ends the line, a last line without LF is never delivered.
//   "DSA\t 1\r\nX" -> "DSA 1" (position 8), then nothing.
bool ReadDeviceListLine(std::span<const uint8_t> bytes, size_t& position, std::string& line);

// One side of a comparison.
struct DeviceListEntry {
    uint8_t dsa = 0;
    std::string make;
    std::string model;
};

// The entry a "DSA" line describes; nothing for any other line.
//   "DSA  66 *Acme*X1*" -> {66, "Acme", "X1"}    "DSA 300 **M" -> {44, "M", ""}
std::optional<DeviceListEntry> ParseDeviceListLine(std::string_view line);

// "%3d%s%s": DSA, the first six characters of the model, the make. Equal keys are the same
// device, so models differing only after the sixth character match.
std::string DeviceListSortKey(const DeviceListEntry& entry);

// The report of comparing the file's bytes (read from `path`) with the table:
//   "Comparing <path>\r\n", then "Missing: %3d %s %s %s\r\n" for each entry only in the file
// and "Extra  : %3d %s %s %s\r\n" for each only in the table (DSA, abbreviation, make, model)
// in sort-key order, or "Device Lists Match." with no line end when there are none. Both sides
// are compared whole, however many entries they hold.
std::string CompareDeviceListText(const std::string& path, std::span<const uint8_t> fileBytes,
                                  const DeviceTable& table);

// A saved list holds one short line per device; anything larger is not one.
inline constexpr size_t kMaxDeviceListBytes = size_t{4} << 20;

// The same for a file on disk; nothing when the file cannot be read, is not a regular file
// (a FIFO, a device) or is larger than kMaxDeviceListBytes.
std::optional<std::string> CompareDeviceList(const std::string& path, const DeviceTable& table);

}  // namespace corvane
