// Decoding against the built-in catalogue, messages per second on one core: the demo
// vehicle's traffic as recorded (single frames; long messages as reassembled), and a mix of
// the busiest status messages of a coach. Formatting is left out: a window or corvane-decode
// formats only what it shows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adapters/CandumpLogParser.h"
#include "adapters/CandumpLogReader.h"
#include "core/Dgn.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"

namespace {

using namespace corvane;
using namespace corvane::decode;

struct Message {
    uint32_t dgn;
    uint8_t sa;
    std::vector<uint8_t> data;
};

// The demo recording's frames, transport frames left out (they arrive as one long message).
std::vector<Message> demoTraffic() {
    std::ifstream file(std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log");
    std::stringstream text;
    text << file.rdbuf();
    const std::string log = text.str();
    CandumpLogReader reader(log);
    CandumpRecord record;
    std::vector<Message> messages;
    while (reader.next(record)) {
        const RvcFrame f = frameFromCandump(record);
        if (isTransportFrame(f.dgn)) continue;
        messages.push_back({f.dgn, f.sa, {f.data, f.data + heldBytes(f)}});
    }
    messages.push_back({0xFEEB, 0x42, {}});
    for (char c : std::string("Norvale Power*NV-3000 Inverter*NV30-118204*3000*")) {
        messages.back().data.push_back(static_cast<uint8_t>(c));
    }
    return messages;
}

std::vector<Message> statusMix() {
    return {
        {0x1FFFD, 0x42, {0x01, 0x64, 0x08, 0x01, 0xD4, 0xC4, 0x35, 0x77}},
        {0x1FFB7, 0x48, {0x02, 0x0A, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x1FFE2, 0x58, {0x02, 0x12, 0xC8, 0xE0, 0x24, 0x60, 0x25, 0xFF}},
        {0x1FFD7, 0x42, {0x41, 0x60, 0x09, 0xAA, 0x7D, 0x00, 0x1E, 0x00}},
        {0x1FEDA, 0x65, {0x05, 0xFF, 0x64, 0x00, 0xFF, 0x05, 0x04, 0xFF}},
        {0x1FECA, 0x80, {0x15, 0x80, 0x02, 0x46, 0x83, 0x02, 0xFF, 0xF0}},
        {0x1FFF7, 0x65, {0x01, 0x01, 0x60, 0x25, 0xE5, 0x24, 0x04, 0xFF}},
        {0x1FE00, 0x30, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}},  // unknown
    };
}

void decodeAll(benchmark::State& state, const std::vector<Message>& messages) {
    const Catalogue& catalogue = builtinCatalogue();
    DecodedMessage decoded;
    size_t i = 0;
    for (auto _ : state) {
        const Message& m = messages[i];
        benchmark::DoNotOptimize(decodeMessage(catalogue, m.dgn, m.sa, m.data, decoded));
        benchmark::DoNotOptimize(decoded.fields.data());
        if (++i == messages.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_DecodeDemoTraffic(benchmark::State& state) { decodeAll(state, demoTraffic()); }
BENCHMARK(BM_DecodeDemoTraffic);

void BM_DecodeStatusMix(benchmark::State& state) { decodeAll(state, statusMix()); }
BENCHMARK(BM_DecodeStatusMix);

}  // namespace
