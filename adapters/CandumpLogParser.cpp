#include "adapters/CandumpLogParser.h"

namespace corvane {

namespace {

constexpr uint32_t kErrorFlag = 0x20000000;
constexpr uint32_t kExtendedMask = 0x1FFFFFFF;
constexpr size_t kStandardIdDigits = 3;
constexpr size_t kExtendedIdDigits = 8;
constexpr int kMicroDigits = 6;

// -1 for a character that is not a hex digit. A table keeps the hot loop branch-free.
constexpr std::array<int8_t, 256> makeHexTable() {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int c = '0'; c <= '9'; ++c) t[static_cast<size_t>(c)] = static_cast<int8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) t[static_cast<size_t>(c)] = static_cast<int8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) t[static_cast<size_t>(c)] = static_cast<int8_t>(c - 'A' + 10);
    return t;
}
constexpr auto kHex = makeHexTable();

int hexValue(char c) { return kHex[static_cast<uint8_t>(c)]; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

CandumpParse failure(CandumpError error) { return CandumpParse{error, {}}; }

// "(seconds.fraction)" at the front of `rest`; moves `rest` past it. Fractions longer than
// six digits are cut to microseconds, shorter ones padded.
bool takeTimestamp(std::string_view& rest, int64_t& micros) {
    size_t i = 0;
    if (rest.empty() || rest[0] != '(') return false;
    ++i;
    int64_t seconds = 0;
    size_t start = i;
    while (i < rest.size() && isDigit(rest[i]) && i - start < 12) {
        seconds = seconds * 10 + (rest[i] - '0');
        ++i;
    }
    if (i == start || i >= rest.size() || rest[i] != '.') return false;
    ++i;
    int64_t fraction = 0;
    int digits = 0;
    start = i;
    while (i < rest.size() && isDigit(rest[i])) {
        if (digits < kMicroDigits) {
            fraction = fraction * 10 + (rest[i] - '0');
            ++digits;
        }
        ++i;
    }
    if (i == start || i >= rest.size() || rest[i] != ')') return false;
    for (; digits < kMicroDigits; ++digits) fraction *= 10;
    micros = seconds * 1000000 + fraction;
    rest.remove_prefix(i + 1);
    return true;
}

void skipBlanks(std::string_view& rest) {
    size_t i = 0;
    while (i < rest.size() && isBlank(rest[i])) ++i;
    rest.remove_prefix(i);
}

}  // namespace

CandumpParse parseCandumpLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || isBlank(line.back()))) {
        line.remove_suffix(1);
    }
    skipBlanks(line);
    if (line.empty()) return failure(CandumpError::Blank);

    CandumpParse out;
    CandumpRecord& r = out.record;
    std::string_view rest = line;
    if (!takeTimestamp(rest, r.micros)) return failure(CandumpError::BadTimestamp);
    skipBlanks(rest);

    size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end])) ++end;
    if (end == 0 || end == rest.size()) return failure(CandumpError::NoInterface);
    r.interface = rest.substr(0, end);
    rest.remove_prefix(end);
    skipBlanks(rest);

    const size_t hash = rest.find('#');
    if (hash == std::string_view::npos) return failure(CandumpError::NoSeparator);
    const std::string_view id = rest.substr(0, hash);
    if (id.empty() || id.size() > kExtendedIdDigits) return failure(CandumpError::BadId);
    uint32_t value = 0;
    for (char c : id) {
        int v = hexValue(c);
        if (v < 0) return failure(CandumpError::BadId);
        value = (value << 4) | static_cast<uint32_t>(v);
    }
    if (id.size() != kExtendedIdDigits) {
        return failure(id.size() <= kStandardIdDigits ? CandumpError::StandardId
                                                      : CandumpError::BadId);
    }
    if (value & kErrorFlag) return failure(CandumpError::ErrorFrame);
    if (value > kExtendedMask) return failure(CandumpError::BadId);
    r.canId = value;

    std::string_view data = rest.substr(hash + 1);
    // Some writers add the direction after the data: " R" received, " T" transmitted.
    const size_t blank = data.find_first_of(" \t");
    if (blank != std::string_view::npos) {
        std::string_view extra = data.substr(blank);
        skipBlanks(extra);
        if (extra != "R" && extra != "T") return failure(CandumpError::BadHex);
        data = data.substr(0, blank);
    }
    if (!data.empty() && data[0] == '#') return failure(CandumpError::CanFd);
    if (!data.empty() && (data[0] == 'R' || data[0] == 'r')) {
        return failure(CandumpError::RemoteFrame);
    }
    if (data.size() % 2 != 0) return failure(CandumpError::BadHex);
    if (data.size() > 2 * r.data.size()) return failure(CandumpError::TooLong);
    for (size_t i = 0; i < data.size(); i += 2) {
        int hi = hexValue(data[i]);
        int lo = hexValue(data[i + 1]);
        if (hi < 0 || lo < 0) return failure(CandumpError::BadHex);
        r.data[i / 2] = static_cast<uint8_t>((hi << 4) | lo);
    }
    r.length = static_cast<uint8_t>(data.size() / 2);
    return out;
}

RvcFrame frameFromCandump(const CandumpRecord& record) {
    return makeFrame(unpackIdentifier(record.canId),
                     static_cast<uint32_t>(static_cast<uint64_t>(record.micros / 1000)),
                     record.length, std::span<const uint8_t>(record.data.data(), record.length));
}

std::string_view candumpErrorName(CandumpError error) {
    switch (error) {
        case CandumpError::None:
            return "none";
        case CandumpError::Blank:
            return "blank";
        case CandumpError::BadTimestamp:
            return "bad time stamp";
        case CandumpError::NoInterface:
            return "no interface";
        case CandumpError::NoSeparator:
            return "missing '#'";
        case CandumpError::BadId:
            return "bad identifier";
        case CandumpError::StandardId:
            return "11-bit identifier";
        case CandumpError::ErrorFrame:
            return "error frame";
        case CandumpError::CanFd:
            return "CAN FD frame";
        case CandumpError::RemoteFrame:
            return "remote frame";
        case CandumpError::BadHex:
            return "bad hex";
        case CandumpError::TooLong:
            return "more than 8 bytes";
        case CandumpError::OutOfOrder:
            return "out-of-order time stamp";
    }
    return "unknown";
}

}  // namespace corvane
