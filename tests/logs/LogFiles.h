#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "adapters/CandumpLogFormat.h"
#include "logs/LogFrameReader.h"
#include "logs/LogWriter.h"
#include "tests/support/ScratchFolder.h"

namespace corvane::test {

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A frame as compared in tests: time, identifier, data.
using Frame = std::tuple<int64_t, uint32_t, std::vector<uint8_t>>;

inline Frame frameOf(const CandumpRecord& r) {
    return {r.micros, r.canId, std::vector<uint8_t>(r.data.begin(), r.data.begin() + r.length)};
}

// `count` frames a millisecond apart, their number in the first four bytes; as candump text.
inline std::string numberedLog(uint32_t count) {
    std::string text;
    char line[kCandumpLineMax];
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t data[8] = {
            uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16), uint8_t(i >> 24), 0x11, 0x22, 0x33,
            0x44};
        text.append(line, formatCandumpLine(1'700'000'000'000'000 + int64_t{i} * 1000, "can0",
                                            0x19FFD442, 8, data, line));
    }
    return text;
}

// The whole text through a LogWriter (compressed by the name).
inline bool writeLog(const std::string& path, const std::string& text) {
    LogWriter writer;
    return writer.open(path) && writer.write(text) && writer.close();
}

// Every frame a LogFrameReader takes from `path`.
inline std::vector<Frame> readFrames(const std::string& path, LogFrameReader& reader) {
    std::vector<Frame> frames;
    if (!reader.open(path)) return frames;
    CandumpRecord r;
    while (reader.next(r)) frames.push_back(frameOf(r));
    return frames;
}

}  // namespace corvane::test
