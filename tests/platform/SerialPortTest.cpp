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

namespace corvane {
namespace {

using namespace std::chrono_literals;

template <typename Pred>
bool waitFor(Pred pred, std::chrono::milliseconds limit = 2000ms) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (pred()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return pred();
}

std::string readAll(PseudoTerminal& pty, size_t want) {
    std::string got;
    uint8_t buf[256];
    waitFor([&] {
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
    waitFor([&] {
        auto n = port.read(buf);
        if (n > 0) got.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        return got.size() >= 12;
    });
    EXPECT_EQ(got, "TDE banner\r\n");
}

TEST(SerialPortConcurrency, ReaderDeliversLinesThenReportsUnplugOnce) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.open());
    SerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath()));

    std::mutex m;
    std::vector<std::string> lines;
    std::atomic<int> failures{0};
    port.startReader(
        [&](std::string_view l) {
            std::lock_guard lock(m);
            lines.emplace_back(l);
        },
        [&] {
            failures.fetch_add(1);
            port.close();  // the owner's reaction, on the reader thread
        });
    EXPECT_TRUE(port.readerRunning());

    std::string burst;
    for (int i = 0; i < 500; ++i) burst += "R18FEEB42" + std::to_string(1000 + i) + "\r\n";
    ASSERT_EQ(pty.write(burst, 2000), static_cast<std::ptrdiff_t>(burst.size()));
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(m);
        return lines.size() == 500;
    }));
    {
        std::lock_guard lock(m);
        for (int i = 0; i < 500; ++i) ASSERT_EQ(lines[i], "R18FEEB42" + std::to_string(1000 + i));
    }

    pty.close();  // the cable is pulled
    ASSERT_TRUE(waitFor([&] { return failures.load() == 1; }));
    EXPECT_TRUE(waitFor([&] { return !port.readerRunning(); }));
    EXPECT_FALSE(port.isOpen());
    port.stopReader();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(failures.load(), 1);
}

TEST(SerialPortConcurrency, StoppingTheReaderIsNotAFailure) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.open());
    SerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    std::atomic<int> failures{0};
    port.startReader([](std::string_view) {}, [&] { failures.fetch_add(1); });
    port.stopReader();
    EXPECT_FALSE(port.readerRunning());
    port.close();
    // Reopened and restarted: the same object serves a second connection.
    ASSERT_TRUE(port.open(pty.slavePath()));
    std::atomic<int> seen{0};
    port.startReader([&](std::string_view) { seen.fetch_add(1); }, [&] { failures++; });
    pty.write("b=3\n", 100);
    EXPECT_TRUE(waitFor([&] { return seen.load() == 1; }));
    port.stopReader();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace corvane
