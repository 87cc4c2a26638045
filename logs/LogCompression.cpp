#include "logs/LogCompression.h"

#include <algorithm>
#include <cctype>

namespace corvane {

namespace {

bool endsWith(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    return std::equal(ending.begin(), ending.end(), text.end() - ending.size(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

}  // namespace

LogCompression compressionForName(std::string_view path) {
    if (endsWith(path, ".gz")) return LogCompression::Gzip;
    if (endsWith(path, ".zst")) return LogCompression::Zstd;
    return LogCompression::None;
}

std::string_view compressionSuffix(LogCompression compression) {
    switch (compression) {
        case LogCompression::Gzip:
            return ".gz";
        case LogCompression::Zstd:
            return ".zst";
        case LogCompression::None:
            break;
    }
    return "";
}

}  // namespace corvane
