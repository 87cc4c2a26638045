#include "adapters/VexorLineParser.h"

#include <array>

#include "core/CanIdentifier.h"

namespace corvane {

namespace {

constexpr int8_t kNotHex = -1;
constexpr size_t kIdentifierDigits = 8;
constexpr size_t kMaxData = 8;
constexpr int32_t kCreditLimit = 1'000'000;  // far above any adapter's buffer; no overflow

constexpr std::array<int8_t, 256> makeHexTable() {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = kNotHex;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<int8_t>(c - 'a' + 10);
    return t;
}
constexpr std::array<int8_t, 256> kHex = makeHexTable();

int hexDigit(char c) { return kHex[static_cast<uint8_t>(c)]; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits at the start of `text`; wraps like the adapter's 32-bit counter.
uint32_t decimal(std::string_view text) {
    uint32_t v = 0;
    for (char c : text) {
        if (!isDigit(c)) break;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    return v;
}

VexorLine parseReceived(std::string_view line) {
    VexorLine out;
    if (line.size() < 1 + kIdentifierDigits) return out;
    uint32_t id = 0;
    for (size_t i = 1; i <= kIdentifierDigits; ++i) {
        int d = hexDigit(line[i]);
        if (d == kNotHex) return out;
        id = (id << 4) | static_cast<uint32_t>(d);
    }
    std::array<uint8_t, kMaxData> data{};
    size_t length = 0;
    size_t pos = 1 + kIdentifierDigits;
    while (line.size() - pos >= 2 && length < kMaxData && line[pos] != ',') {
        int hi = hexDigit(line[pos]);
        int lo = hexDigit(line[pos + 1]);
        if (hi == kNotHex || lo == kNotHex) return out;
        data[length++] = static_cast<uint8_t>((hi << 4) | lo);
        pos += 2;
    }
    uint32_t timestamp = 0;
    size_t comma = line.find(',', 1 + kIdentifierDigits);
    if (comma != std::string_view::npos) timestamp = decimal(line.substr(comma + 1));
    out.kind = VexorLine::Kind::Frame;
    out.frame = makeFrame(unpackIdentifier(id), timestamp, static_cast<uint16_t>(length), data);
    return out;
}

}  // namespace

VexorLine parseVexorLine(std::string_view line) {
    VexorLine out;
    if (line.empty()) return out;
    if (line[0] == 'R') return parseReceived(line);
    if (line.size() >= 3 && line[0] == 'b' && line[1] == '=' && isDigit(line[2])) {
        int32_t v = 0;
        for (char c : line.substr(2)) {
            if (!isDigit(c)) break;
            v = v * 10 + (c - '0');
            if (v > kCreditLimit) v = kCreditLimit;
        }
        out.kind = VexorLine::Kind::Credits;
        out.credits = v;
        return out;
    }
    if (line == "c=250K" || line == "c=500K") {
        out.kind = VexorLine::Kind::DataRate;
        out.rateSetting = line == "c=250K" ? 2 : 1;
    }
    return out;
}

bool isVexorBanner(std::string_view line) {
    return line.size() >= 10 && line.substr(0, 3) == "TDE";
}

size_t formatVexorTransmit(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                           const uint8_t* data, char (&out)[kVexorTransmitMax]) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    uint32_t id = packIdentifier(priority, dgn, sa);
    size_t n = 0;
    out[n++] = 'T';
    for (int shift = 28; shift >= 0; shift -= 4) out[n++] = kDigits[(id >> shift) & 0xF];
    size_t count = length < kMaxData ? length : kMaxData;
    for (size_t i = 0; i < count; ++i) {
        out[n++] = kDigits[data[i] >> 4];
        out[n++] = kDigits[data[i] & 0xF];
    }
    out[n++] = '\n';
    return n;
}

}  // namespace corvane
