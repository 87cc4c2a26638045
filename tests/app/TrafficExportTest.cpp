#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "adapters/CandumpLogParser.h"
#include "app/traffic/CandumpExport.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"
#include "logs/LogFrameReader.h"
#include "platform/MemorySettingsStore.h"
#include "tests/core/TransmitHarness.h"

namespace corvane {
namespace {

TrafficRow rowOf(uint32_t dgn, uint8_t sa, const std::string& text, int64_t micros) {
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    decode::DecodedMessage m;
    decode::decodeMessage(decode::builtinCatalogue(), dgn, sa, bytes, m);
    return makeTrafficRow(m, micros, "");
}

// The shown rows, exported and read back through the network core as a replay reads them,
// give the same messages: a long one is carried by a broadcast transfer, a filtered-out one
// is not written at all.
TEST(TrafficExport, ReplaysToTheMessagesShown) {
    MemorySettingsStore store;
    RowNames names(store);
    TrafficLog log(names);
    std::vector<TrafficRow> rows;
    const std::string product = "ACME*Heater 5*SN123*7*";  // 22 bytes: 4 packets
    rows.push_back(rowOf(dgn::kProductId, 0x42, product, 1'700'000'000'000'100));
    rows.push_back(rowOf(0x1FFB7, 0x48, std::string("\x00\x20\x64\xFF\xFF\xFF\xFF\xFF", 8),
                         1'700'000'000'000'200));
    log.append(std::move(rows));
    log.setFilter({"42", "", ""});  // the tank's row is hidden
    ASSERT_EQ(log.shownCount(), 1u);

    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/out.log";
    std::string error;
    ASSERT_TRUE(exportCandump(log, path, error)) << error;

    std::ifstream file(path);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(file, line)) lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u);  // announce and 4 packets
    EXPECT_EQ(lines[0],
              "(1700000000.000100) can0 18ECFF42#201600"
              "04FFEBFE00");

    test::TransmitHarness core;
    for (const std::string& text : lines) {
        const CandumpParse parsed = parseCandumpLine(text);
        ASSERT_EQ(parsed.error, CandumpError::None) << text;
        core.manager.intake(frameFromCandump(parsed.record));
    }
    std::vector<RvcMessage> cooked;
    for (const RvcMessage& m : core.clients.cooked())
        if (m.dgn == dgn::kProductId) cooked.push_back(m);
    ASSERT_EQ(cooked.size(), 1u);
    EXPECT_EQ(core.clients.cooked().size(), 1u) << "the hidden row was written";
    EXPECT_EQ(cooked[0].sa, 0x42);
    EXPECT_EQ(std::string(cooked[0].data, cooked[0].data + cooked[0].length), product);

    EXPECT_FALSE(exportCandump(log, dir.path().toStdString() + "/no/such/folder.log", error));
    EXPECT_NE(error.find("no/such/folder.log"), std::string::npos);

    // A name ending in .gz or .zst is written compressed, and reads back as the same frames.
    const std::pair<const char*, std::string> packings[] = {{"/out.log.gz", "\x1f\x8b"},
                                                            {"/out.log.zst", "\x28\xb5\x2f\xfd"}};
    for (const auto& [name, magic] : packings) {
        SCOPED_TRACE(name);
        const std::string packed = dir.path().toStdString() + name;
        ASSERT_TRUE(exportCandump(log, packed, error)) << error;
        std::ifstream raw(packed, std::ios::binary);
        std::string start(magic.size(), '\0');
        raw.read(start.data(), static_cast<std::streamsize>(start.size()));
        EXPECT_EQ(start, magic) << "not written compressed";
        LogFrameReader reader;
        ASSERT_TRUE(reader.open(packed));
        CandumpRecord r;
        size_t n = 0;
        while (reader.next(r)) {
            ASSERT_LT(n, lines.size());
            const CandumpParse plain = parseCandumpLine(lines[n++]);
            EXPECT_EQ(r.micros, plain.record.micros);
            EXPECT_EQ(r.canId, plain.record.canId);
            EXPECT_EQ(r.data, plain.record.data);
        }
        EXPECT_EQ(n, lines.size());
        EXPECT_EQ(reader.faultText(), "");
    }
}

}  // namespace
}  // namespace corvane
