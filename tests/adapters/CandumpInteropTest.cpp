#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "adapters/CandumpLogReader.h"
#include "logs/TrafficRecorder.h"
#include "tests/adapters/ReplayRig.h"

namespace corvane {
namespace {

using test::ScratchFolder;

// Debian's interpreter, which python3-can is installed for (scripts/install-deps), even when
// another python3 comes first on the PATH.
constexpr const char* kPython = "/usr/bin/python3";

bool pythonCanPresent() {
    return std::system((std::string(kPython) + " -c 'import can' >/dev/null 2>&1").c_str()) == 0;
}

// Runs a Python script; its standard output, or nothing when it failed.
bool runPython(const ScratchFolder& folder, const std::string& script, std::string& output) {
    test::writeFile(folder.file("peer.py"), script);
    const std::string command = std::string(kPython) + " " + folder.file("peer.py") + " > " +
                                folder.file("peer.out") + " 2>&1";
    const int rc = std::system(command.c_str());
    output = test::readFile(folder.file("peer.out"));
    return rc == 0;
}

struct Sample {
    int64_t micros;
    uint32_t id;
    std::vector<uint8_t> data;
};

const std::vector<Sample>& samples() {
    static const std::vector<Sample> s = {
        {1'700'000'000'000'000, 0x18FEEB42, {0x01, 0x02}},
        {1'700'000'000'000'001, 0x19FFD442, {}},
        {1'700'000'000'123'456, 0x1FFFFFFF, {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}},
        {1'700'000'001'999'999, 0x00000001, {0xAB}},
        {1'700'000'002'500'000, 0x0CEAFFF9, {0xEB, 0xFE, 0x00}},
    };
    return s;
}

// One line per frame, the same from either side: "id length hex".
std::string describe(uint32_t id, size_t length, const uint8_t* data) {
    char text[64];
    std::snprintf(text, sizeof text, "%08X %zu ", id, length);
    std::string out = text;
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(text, sizeof text, "%02X", data[i]);
        out += text;
    }
    return out + "\n";
}

// The samples recorded to `path` on "can0" as the tool records traffic, each at its time.
bool recordSamples(const std::string& path) {
    int64_t at = 0;
    TrafficRecorder recorder([&at] { return at; });
    if (!recorder.start(path, "can0")) return false;
    for (const auto& s : samples()) {
        at = s.micros;
        recorder.record(
            makeFrame(unpackIdentifier(s.id), 0, static_cast<uint16_t>(s.data.size()), s.data));
    }
    return recorder.stop();
}

TEST(CandumpInterop, OurLogsReadBackWithPythonCan) {
    if (!pythonCanPresent()) GTEST_SKIP() << "python3-can is not installed";
    ScratchFolder folder;
    const std::string path = folder.file("ours.log");
    ASSERT_TRUE(recordSamples(path));
    std::string expected;
    for (const auto& s : samples()) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%lld.%06lld ",
                      static_cast<long long>(s.micros / 1'000'000),
                      static_cast<long long>(s.micros % 1'000'000));
        expected += stamp + describe(s.id, s.data.size(), s.data.data());
    }
    const std::string script =
        "import can\n"
        "for m in can.CanutilsLogReader('" +
        path +
        "'):\n"
        "    assert m.is_extended_id and not m.is_remote_frame and not m.is_error_frame\n"
        "    assert m.channel == 'can0'\n"
        "    us = round(m.timestamp * 1000000)\n"
        "    print('%d.%06d %08X %d %s' % (us // 1000000, us % 1000000, m.arbitration_id,\n"
        "          m.dlc, m.data.hex().upper()))\n";
    std::string output;
    ASSERT_TRUE(runPython(folder, script, output)) << output;
    EXPECT_EQ(output, expected);
}

TEST(CandumpInterop, PythonCanLogsReplayHere) {
    if (!pythonCanPresent()) GTEST_SKIP() << "python3-can is not installed";
    ScratchFolder folder;
    const std::string path = folder.file("theirs.log");
    std::ostringstream messages;
    for (const auto& s : samples()) {
        messages << "    can.Message(timestamp=" << s.micros / 1'000'000 << "." <<
            [&] {
                char f[8];
                std::snprintf(f, sizeof f, "%06lld", static_cast<long long>(s.micros % 1'000'000));
                return std::string(f);
            }() << ", arbitration_id=0x"
                 << std::hex << s.id << std::dec
                 << ", is_extended_id=True, channel='vcan1', data=bytes([";
        for (uint8_t b : s.data) messages << int{b} << ",";
        messages << "])),\n";
    }
    const std::string script =
        "import can\n"
        "frames = [\n" +
        messages.str() +
        "    can.Message(timestamp=1700000003.0, arbitration_id=0x123, is_extended_id=False,\n"
        "                data=b'\\x01'),\n"
        "]\n"
        "w = can.CanutilsLogWriter('" +
        path +
        "')\n"
        "for m in frames:\n"
        "    w.on_message_received(m)\n"
        "w.stop()\n";
    std::string output;
    ASSERT_TRUE(runPython(folder, script, output)) << output;

    const std::string text = test::readFile(path);
    CandumpLogReader reader(text);
    CandumpRecord r;
    std::string got;
    std::string expected;
    for (const auto& s : samples()) expected += describe(s.id, s.data.size(), s.data.data());
    size_t i = 0;
    while (reader.next(r)) {
        got += describe(r.canId, r.length, r.data.data());
        EXPECT_EQ(r.interface, "vcan1");
        if (i < samples().size()) {
            EXPECT_EQ(r.micros, samples()[i].micros);
        }
        ++i;
    }
    EXPECT_EQ(got, expected) << text;
    // The 11-bit frame is the one line skipped.
    EXPECT_EQ(reader.skipped(), 1u);
    EXPECT_EQ(reader.skipped(CandumpError::StandardId), 1u);
}

bool canUtilsPresent() {
    return std::system(
               "command -v log2asc >/dev/null 2>&1 && command -v asc2log >/dev/null 2>&1") == 0;
}

// can-utils both ways: its log2asc reads our log, its asc2log writes the log back in its own
// hand (with a direction after the data and a new start time), and that log replays here with
// the same frames at the same offsets.
TEST(CandumpInterop, OurLogsGoThroughCanUtilsAndBack) {
    if (!canUtilsPresent()) GTEST_SKIP() << "can-utils is not installed";
    ScratchFolder folder;
    const std::string ours = folder.file("ours.log");
    ASSERT_TRUE(recordSamples(ours));
    std::string expected;
    for (const auto& s : samples()) {
        expected += std::to_string(s.micros - samples().front().micros) + " " +
                    describe(s.id, s.data.size(), s.data.data());
    }
    const std::string asc = folder.file("ours.asc");
    const std::string back = folder.file("back.log");
    const std::string command = "log2asc -I " + ours + " -O " + asc + " can0 && asc2log -I " + asc +
                                " -O " + back + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << test::readFile(asc);

    const std::string text = test::readFile(back);
    CandumpLogReader reader(text);
    CandumpRecord r;
    std::string got;
    int64_t first = -1;
    while (reader.next(r)) {
        if (first < 0) first = r.micros;
        got += std::to_string(r.micros - first) + " " + describe(r.canId, r.length, r.data.data());
    }
    EXPECT_EQ(got, expected) << text;
    EXPECT_EQ(reader.skipped(), 0u) << text;
}

TEST(CandumpInterop, CanUtilsStyleLinesReplayHere) {
    // Lines as `candump -l` writes them, including its 11-bit and CAN FD lines.
    const std::string text =
        "(1700000000.000100) can0 18FEEB42#0102030405060708\n"
        "(1700000000.000200) can0 123#DEADBEEF\n"
        "(1700000000.000300) can0 19FFD442##1112233\n"
        "(1700000000.000400) can0 0CEAFFF9#EBFE00\n";
    CandumpLogReader reader(text);
    CandumpRecord r;
    std::vector<uint32_t> ids;
    while (reader.next(r)) ids.push_back(r.canId);
    EXPECT_EQ(ids, (std::vector<uint32_t>{0x18FEEB42, 0x0CEAFFF9}));
    EXPECT_EQ(reader.skipped(), 2u);
}

}  // namespace
}  // namespace corvane
