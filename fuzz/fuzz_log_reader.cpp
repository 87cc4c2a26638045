// Arbitrary bytes as a log file: plain, gzip or zstd by the name the first byte picks, read
// frame by frame the way every log reader does, and each line of the bytes parsed as an ASC
// line too. Besides crashes and sanitizer findings it checks the reader's promises: frames
// of at most 8 bytes with 29-bit identifiers in time order, the whole file consumed unless a
// compressed stream broke off, and a fault only for a compressed file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "logs/AscLineParser.h"
#include "logs/LogFrameReader.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// One file per process, rewritten for every input.
const std::string& scratch(uint8_t pick) {
    static const std::string base = "/tmp/corvane-fuzz-log-" + std::to_string(getpid());
    static const std::string names[3] = {base + ".log", base + ".log.gz", base + ".log.zst"};
    return names[pick % 3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    if (size == 0) return 0;
    const std::string& path = scratch(data[0]);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);

    LogFrameReader reader;
    check(reader.open(path));
    CandumpRecord r;
    int64_t last = INT64_MIN;
    while (reader.next(r)) {
        check(r.length <= 8 && r.canId <= 0x1FFFFFFF);
        check(r.micros >= last);
        last = r.micros;
    }
    if (reader.fault() == LogByteSource::Fault::None) {
        check(reader.filePosition() == reader.fileSize());
    } else {
        check(data[0] % 3 != 0);
    }
    std::remove(path.c_str());

    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    for (size_t from = 0; from <= text.size();) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        for (bool decimal : {false, true}) {
            const AscLine line = parseAscLine(text.substr(from, end - from), decimal);
            check(line.kind != AscLine::Kind::Frame || line.record.length <= 8);
        }
        from = end + 1;
    }
    return 0;
}
