#include "app/traffic/CandumpExport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "adapters/CandumpLogFormat.h"
#include "core/Dgn.h"
#include "logs/LogWriter.h"

namespace corvane {

namespace {

constexpr uint32_t kPriority = 6;
constexpr uint8_t kBroadcastAnnounce = 0x20;
constexpr size_t kPacketBytes = 7;
constexpr const char* kInterface = "can0";

uint32_t canId(uint32_t dgn, uint8_t source) { return (kPriority << 26) | (dgn << 8) | source; }

std::string line(int64_t micros, uint32_t id, const uint8_t* data, uint8_t length) {
    char buffer[kCandumpLineMax];
    return std::string(buffer, formatCandumpLine(micros, kInterface, id, length, data, buffer));
}

}  // namespace

std::vector<std::string> candumpLines(const TrafficRow& row) {
    const uint8_t source = row.key.source;
    const size_t size = std::min<size_t>(row.data.size(), kMaxMessageData);
    if (size <= 8) {
        return {
            line(row.micros, canId(row.dgn, source), row.data.data(), static_cast<uint8_t>(size))};
    }
    const size_t packets = (size + kPacketBytes - 1) / kPacketBytes;
    const uint8_t announce[8] = {kBroadcastAnnounce,
                                 static_cast<uint8_t>(size & 0xFF),
                                 static_cast<uint8_t>(size >> 8),
                                 static_cast<uint8_t>(packets),
                                 0xFF,
                                 static_cast<uint8_t>(row.dgn & 0xFF),
                                 static_cast<uint8_t>((row.dgn >> 8) & 0xFF),
                                 static_cast<uint8_t>(row.dgn >> 16)};
    std::vector<std::string> out;
    out.push_back(
        line(row.micros, canId(dgn::kTransportControl | kGlobalAddress, source), announce, 8));
    for (size_t p = 0; p < packets; ++p) {
        uint8_t packet[8];
        std::memset(packet, 0xFF, sizeof packet);
        packet[0] = static_cast<uint8_t>(p + 1);
        const size_t from = p * kPacketBytes;
        std::copy_n(row.data.begin() + static_cast<std::ptrdiff_t>(from),
                    std::min(kPacketBytes, size - from), packet + 1);
        out.push_back(
            line(row.micros, canId(dgn::kTransportData | kGlobalAddress, source), packet, 8));
    }
    return out;
}

bool exportCandump(const TrafficLog& log, const std::string& path, std::string& error) {
    LogWriter writer;
    if (!writer.open(path)) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool written = true;
    for (size_t i = 0; i < log.shownCount() && written; ++i) {
        for (const std::string& text : candumpLines(log.shown(i))) written &= writer.write(text);
    }
    // Ends a compressed stream too: a file cut off here would not read back.
    if (!writer.close() || !written) {
        error = path + ": could not be written completely (the disk may be full)";
        return false;
    }
    return true;
}

}  // namespace corvane
