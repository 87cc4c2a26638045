#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PseudoTerminal.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortLineCutter.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using test::waitUntil;

using namespace std::chrono_literals;

std::string readAll(PseudoTerminal& pty, size_t want) {
    std::string got;
    uint8_t buf[256];
    waitUntil([&] {
        std::ptrdiff_t n = pty.read(buf);
        if (n > 0) got.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(n));
        return got.size() >= want;
    });
    return got;
}

TEST(SerialPortCandidates, OrderAndSources) {
    struct Case {
        const char* configured;
        const char* preferred;
        std::vector<std::string> head;
        size_t size;
    };
    const Case cases[] = {
        {"", "", {"/dev/ttyACM0", "/dev/ttyACM1"}, 100},
        {"   ", "", {"/dev/ttyACM0"}, 100},
        {"", "/dev/pts/7", {"/dev/pts/7", "/dev/ttyACM0"}, 101},
        {"/dev/a /dev/b", "", {"/dev/a", "/dev/b"}, 2},
        {"  /dev/a\t /dev/b  ", "/dev/b", {"/dev/b", "/dev/a"}, 2},
        {"/dev/a /dev/a", "", {"/dev/a"}, 1},
    };
    for (const auto& c : cases) {
        auto list = SerialPort::candidates(c.configured, c.preferred);
        ASSERT_EQ(list.size(), c.size) << "'" << c.configured << "' / '" << c.preferred << "'";
        for (size_t i = 0; i < c.head.size(); ++i) EXPECT_EQ(list[i], c.head[i]);
    }
    auto defaults = SerialPort::candidates("", "");
    EXPECT_EQ(defaults[49], "/dev/ttyACM49");
    EXPECT_EQ(defaults[50], "/dev/ttyUSB0");
    EXPECT_EQ(defaults[99], "/dev/ttyUSB49");
}

TEST(SerialPortLineCutter, CutsLinesAcrossReads) {
    struct Case {
        std::vector<std::string> chunks;
        std::vector<std::string> lines;
    };
    const std::string long128(128, 'A');
    const Case cases[] = {
        {{"b=5\n"}, {"b=5"}},
        {{"b=5\r\n\r\nc=250K\r"}, {"b=5", "c=250K"}},
        {{"R18FE", "EB42010203\n"}, {"R18FEEB42010203"}},
        {{"\n\n\r"}, {}},
        {{"no end"}, {}},
        {{long128 + "\n"}, {std::string(127, 'A')}},
        {{std::string(100, 'B'), std::string(100, 'B') + "\nx\n"}, {std::string(127, 'B'), "x"}},
    };
    for (const auto& c : cases) {
        SerialPortLineCutter cutter;
        std::vector<std::string> got;
        for (const auto& chunk : c.chunks) {
            cutter.feed(std::span(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()),
                        [&](std::string_view l) { got.emplace_back(l); });
        }
        EXPECT_EQ(got, c.lines) << c.chunks.front().substr(0, 20);
    }
}

TEST(SerialPort, RefusesWhatIsNotAnOpenableTerminal) {
    SerialPort port;
    EXPECT_FALSE(port.open("/nonexistent/ttyACM0"));
    EXPECT_FALSE(port.open("/dev/null"));  // not a terminal
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("v:\n"));
    uint8_t buf[4];
    EXPECT_EQ(port.read(buf), SerialPort::kReadFailed);
}

TEST(SerialPort, TalksBothWaysOverPseudoTerminal) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.open());
    SerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    EXPECT_EQ(port.portName(), pty.slavePath());

    uint8_t buf[64];
    EXPECT_EQ(port.read(buf), 0);  // nothing there: returns at once

    ASSERT_TRUE(port.write("v:\n"));
    EXPECT_EQ(readAll(pty, 3), "v:\n");  // raw: no echo, no newline translation

    ASSERT_EQ(pty.write("TDE banner\r\n", 100), 12);
    std::string got;
    waitUntil([&] {
        auto n = port.read(buf);
        if (n > 0) got.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        return got.size() >= 12;
    });
    EXPECT_EQ(got, "TDE banner\r\n");
}

}  // namespace
}  // namespace corvane
