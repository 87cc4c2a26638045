// Arbitrary bytes from the serial adapter, cut into lines the way the reader thread cuts them
// and parsed as adapter lines. The first byte decides how the rest is split into reads, so
// lines broken across read boundaries are exercised too. Besides crashes and sanitizer
// findings it checks the cutter's and the parser's promises: the same lines whatever the
// reads, no line longer than kept or holding a line end, no frame of more than 8 bytes, and
// a received frame written as a transmit line reads back as the same frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adapters/VexorLineParser.h"
#include "platform/SerialPortLineCutter.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::vector<std::string> cutWhole(std::span<const uint8_t> bytes) {
    corvane::SerialPortLineCutter cutter;
    std::vector<std::string> lines;
    cutter.feed(bytes, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// Reads of 1 to 64 bytes, their sizes drawn from a generator seeded by `seed`.
std::vector<std::string> cutInReads(std::span<const uint8_t> bytes, uint8_t seed) {
    corvane::SerialPortLineCutter cutter;
    std::vector<std::string> lines;
    uint32_t state = seed * 2654435761u + 1;
    size_t at = 0;
    while (at < bytes.size()) {
        state = state * 1103515245u + 12345u;
        size_t n = std::min<size_t>(1 + ((state >> 16) % 64), bytes.size() - at);
        cutter.feed(bytes.subspan(at, n), [&](std::string_view line) { lines.emplace_back(line); });
        at += n;
    }
    return lines;
}

void checkLine(std::string_view line) {
    using namespace corvane;
    check(!line.empty() && line.size() <= SerialPortLineCutter::kMaxLine);
    check(line.find_first_of("\r\n") == std::string_view::npos);
    (void)isVexorBanner(line);

    const VexorLine parsed = parseVexorLine(line);
    switch (parsed.kind) {
        case VexorLine::Kind::Frame: {
            const RvcFrame& f = parsed.frame;
            check(f.kind == RvcFrame::kKind && f.length <= 8 && f.priority <= 7);
            check(f.dgn <= 0x1FFFF);
            // Sent back as a transmit line, the frame reads as itself.
            char out[kVexorTransmitMax];
            const size_t n = formatVexorTransmit(f.dgn, f.sa, f.priority, f.length, f.data, out);
            check(n <= kVexorTransmitMax && out[0] == 'T' && out[n - 1] == '\n');
            std::string echoed(out + 1, n - 2);
            echoed.insert(0, "R");
            const VexorLine again = parseVexorLine(echoed);
            check(again.kind == VexorLine::Kind::Frame);
            const RvcFrame& g = again.frame;
            check(g.dgn == f.dgn && g.sa == f.sa && g.priority == f.priority);
            check(g.length == f.length);
            check(std::equal(f.data, f.data + f.length, g.data));
            break;
        }
        case VexorLine::Kind::Credits:
            check(parsed.credits >= 0 && parsed.credits <= 1'000'000);
            break;
        case VexorLine::Kind::DataRate:
            check(parsed.rateSetting == 1 || parsed.rateSetting == 2);
            break;
        case VexorLine::Kind::Ignored:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using corvane::parseVexorLine;
    using corvane::VexorLine;
    if (size == 0) return 0;
    const std::span<const uint8_t> stream(data + 1, size - 1);

    const std::vector<std::string> whole = cutWhole(stream);
    check(cutInReads(stream, data[0]) == whole);
    for (const std::string& line : whole) checkLine(line);
    // The parser alone sees the bytes as one line, line ends, NULs and all.
    const VexorLine raw =
        parseVexorLine(std::string_view(reinterpret_cast<const char*>(data), size));
    check(raw.kind != VexorLine::Kind::Frame || raw.frame.length <= 8);
    return 0;
}
