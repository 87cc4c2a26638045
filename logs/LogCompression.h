#pragma once

#include <string_view>

namespace corvane {

// How a log file is stored, chosen by its name alone (never by sniffing), so that what the
// user named is what is written and read.
enum class LogCompression { None, Gzip, Zstd };

// "x.log" -> None, "x.log.gz" -> Gzip, "x.log.zst" -> Zstd (the ending in any case).
LogCompression compressionForName(std::string_view path);

// The file name ending of a compression: "", ".gz", ".zst".
std::string_view compressionSuffix(LogCompression compression);

}  // namespace corvane
