#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/SerialPort.h"
#include "platform/SerialPortLineCutter.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace corvane::sim {
namespace {

using namespace std::chrono_literals;

// The tool's end of the line, driven by hand.
class ToolEnd {
  public:
    explicit ToolEnd(const std::string& path) { EXPECT_TRUE(port_.open(path)); }
    void send(std::string_view text) { ASSERT_TRUE(port_.write(text)); }
    // Reads for `time`, keeping every line.
    void collect(std::chrono::milliseconds time) {
        collectUntil([] { return false; }, time);
    }
    // Reads until `done` holds or `limit` has passed: for loaded machines.
    template <typename Done>
    void collectUntil(Done done, std::chrono::milliseconds limit = 3000ms) {
        auto until = std::chrono::steady_clock::now() + limit;
        uint8_t buf[1024];
        while (!done() && std::chrono::steady_clock::now() < until) {
            auto n = port_.read(buf);
            if (n <= 0) {
                port_.waitReadable(1);
                continue;
            }
            cutter_.feed(std::span<const uint8_t>(buf, static_cast<size_t>(n)),
                         [&](std::string_view l) { lines.emplace_back(l); });
        }
    }
    size_t count(char first) const {
        size_t n = 0;
        for (const auto& l : lines) n += !l.empty() && l[0] == first;
        return n;
    }
    bool has(const std::string& line) const {
        for (const auto& l : lines) {
            if (l == line) return true;
        }
        return false;
    }
    std::vector<std::string> lines;

  private:
    SerialPort port_;
    SerialPortLineCutter cutter_;
};

TEST(VexorEmulator, AnswersTheToolsCommands) {
    SimulatedVehicle vehicle;
    VexorEmulator emulator(vehicle);
    ASSERT_TRUE(emulator.start());
    ToolEnd tool(emulator.path());

    tool.collect(600ms);
    EXPECT_TRUE(tool.lines.empty()) << "frames before the adapter was started";
    EXPECT_FALSE(emulator.open());

    tool.send("v:\nb?\nc=500K\nc=125K\n");
    tool.collectUntil([&] { return tool.has("c=500K") && tool.count('R') >= 5; });
    ASSERT_FALSE(tool.lines.empty());
    EXPECT_EQ(tool.lines[0], VexorEmulator::kBanner);
    EXPECT_TRUE(tool.has("b=64"));
    EXPECT_TRUE(tool.has("c=500K"));
    EXPECT_FALSE(tool.has("c=125K"));
    EXPECT_EQ(emulator.dataRate(), "500K");
    EXPECT_TRUE(emulator.open());
    // Vehicle traffic as R lines, each with a timestamp after a comma.
    EXPECT_GE(tool.count('R'), 5u);
    for (const auto& l : tool.lines) {
        if (l[0] != 'R') continue;
        EXPECT_NE(l.find(',', 9), std::string::npos) << l;
    }
    // The count is compared with the bus quiet and every line on its way read: the vehicle
    // goes on talking while the tool is not reading.
    emulator.setBusActive(false);
    tool.collect(200ms);
    EXPECT_EQ(emulator.framesWritten(), tool.count('R'));
    emulator.setBusActive(true);

    // A request for the inverter's PRODUCT_ID goes on the bus; the answer comes back as a
    // broadcast long message from 0x42.
    tool.lines.clear();
    tool.send("T18EA42F9EBFE00\n");
    bool announce = false;
    tool.collectUntil([&] {
        for (const auto& l : tool.lines) announce |= l.rfind("R1CECFF42", 0) == 0;
        return announce;
    });
    EXPECT_EQ(emulator.transmits(), 1u);
    EXPECT_TRUE(announce);

    // Malformed transmissions never reach the bus.
    tool.send("T18EA42F9EBF\nT18EA4ZF9\nT\n");
    tool.collect(50ms);
    EXPECT_EQ(emulator.transmits(), 1u);

    tool.send("v.\n");
    tool.collectUntil([&] { return !emulator.open(); });
    tool.collect(20ms);
    tool.lines.clear();
    tool.collect(700ms);
    EXPECT_EQ(tool.count('R'), 0u);
    EXPECT_FALSE(emulator.open());

    auto heard = emulator.linesFromTool();
    ASSERT_GE(heard.size(), 4u);
    EXPECT_EQ(heard[0], "v:");
    EXPECT_EQ(heard[1], "b?");
}

TEST(VexorEmulator, SlowToWakeAndFixedCredits) {
    SimulatedVehicle vehicle;
    VexorEmulator::Options options;
    options.ignoredProbes = 2;
    VexorEmulator emulator(vehicle, options);
    ASSERT_TRUE(emulator.start());
    ToolEnd tool(emulator.path());

    tool.send("v:\n");
    tool.collect(50ms);
    tool.send("v:\n");
    tool.collect(50ms);
    EXPECT_TRUE(tool.lines.empty());
    tool.send("v:\n");
    tool.collectUntil([&] { return !tool.lines.empty(); });
    ASSERT_FALSE(tool.lines.empty());
    EXPECT_EQ(tool.lines[0], VexorEmulator::kBanner);

    emulator.setCreditPool(2);
    tool.lines.clear();
    tool.send("b?\nT19FFFDF901\nT19FFFDF902\nT19FFFDF903\nb?\n");
    tool.collectUntil([&] { return tool.has("b=0"); });
    EXPECT_TRUE(tool.has("b=2"));
    EXPECT_TRUE(tool.has("b=0"));
    EXPECT_EQ(emulator.transmits(), 2u);
    EXPECT_EQ(emulator.overflows(), 1u);
}

TEST(VexorEmulator, BusLoadArrivesWhole) {
    SimulatedVehicle vehicle;
    VexorEmulator::Options options;
    options.loadFramesPerSecond = 4000;
    VexorEmulator emulator(vehicle, options);
    ASSERT_TRUE(emulator.start());
    ToolEnd tool(emulator.path());
    tool.send("v:\n");
    tool.collect(1000ms);
    emulator.setBusActive(false);
    tool.collect(20ms);
    tool.collectUntil([&] { return tool.count('R') == emulator.framesWritten(); });

    EXPECT_EQ(emulator.framesDropped(), 0u);
    EXPECT_EQ(tool.count('R'), emulator.framesWritten());
    EXPECT_GT(emulator.framesWritten(), 3000u);
    // The load frames count up without a gap.
    uint32_t expected = 1;
    for (const auto& l : tool.lines) {
        if (l.rfind("R19FFFD80", 0) != 0) continue;
        uint32_t counter = 0;
        for (int i = 3; i >= 0; --i)
            counter = counter << 8 | std::stoul(l.substr(9 + 2 * i, 2), nullptr, 16);
        ASSERT_EQ(counter, expected) << l;
        ++expected;
    }
    EXPECT_GT(expected, 3000u);
}

// The tap sees exactly the frames whose lines reached the tool, in their order; the load takes
// its source addresses in turn.
TEST(VexorEmulator, TheTapSeesWhatWasWrittenAndLoadSourcesTakeTurns) {
    SimulatedVehicle vehicle;
    VexorEmulator::Options options;
    options.loadFramesPerSecond = 2000;
    options.loadSourceCount = 3;
    VexorEmulator emulator(vehicle, options);
    std::mutex mutex;
    std::vector<RvcFrame> tapped;
    emulator.setWrittenTap([&](const RvcFrame& f) {
        std::lock_guard lock(mutex);
        tapped.push_back(f);
    });
    ASSERT_TRUE(emulator.start());
    ToolEnd tool(emulator.path());
    tool.send("v:\n");
    tool.collect(500ms);
    emulator.setBusActive(false);
    tool.collect(20ms);
    tool.collectUntil([&] { return tool.count('R') == emulator.framesWritten(); });

    std::lock_guard lock(mutex);
    ASSERT_EQ(tapped.size(), tool.count('R'));
    EXPECT_GT(tapped.size(), 500u);
    size_t i = 0;
    for (const auto& l : tool.lines) {
        if (l.empty() || l[0] != 'R') continue;
        const auto sa = static_cast<uint8_t>(std::stoul(l.substr(7, 2), nullptr, 16));
        ASSERT_EQ(tapped[i].sa, sa) << i << " " << l;
        ++i;
    }
    uint32_t counter = 0;
    for (const RvcFrame& f : tapped) {
        if (f.sa < 0x80 || f.sa > 0x82) continue;
        EXPECT_EQ(f.sa, 0x80 + counter % 3) << counter;
        ++counter;
    }
    EXPECT_GT(counter, 500u);
}

TEST(VexorEmulator, StopLooksLikeAnUnplug) {
    SimulatedVehicle vehicle;
    VexorEmulator emulator(vehicle);
    ASSERT_TRUE(emulator.start());
    SerialPort port;
    ASSERT_TRUE(port.open(emulator.path()));
    emulator.stop();
    uint8_t buf[16];
    EXPECT_EQ(port.read(buf), SerialPort::kReadFailed);
    // And it can be started again, on a fresh terminal.
    ASSERT_TRUE(emulator.start());
    SerialPort again;
    EXPECT_TRUE(again.open(emulator.path()));
}

}  // namespace
}  // namespace corvane::sim
