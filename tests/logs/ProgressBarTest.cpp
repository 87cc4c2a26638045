#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "logs/ProgressBar.h"
#include "platform/PseudoTerminal.h"

namespace corvane {
namespace {

TEST(ProgressBar, Formatting) {
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    struct Case {
        uint64_t done;
        uint64_t total;
        double elapsed;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 0.0, "[                              ]   0%  0 B of 0 B  --:-- left"},
        {0, 1000, 5.0, "[                              ]   0%  0 B of 1000 B  --:-- left"},
        {512 * kMiB, 1024 * kMiB, 10.0,
         "[###############               ]  50%  512.0 MB of 1.00 GB  0:10 left"},
        {1536, 3072, 1.0, "[###############               ]  50%  1.5 kB of 3.0 kB  0:01 left"},
        {1, 3, 1.0, "[##########                    ]  33%  1 B of 3 B  0:02 left"},
        {10 * kMiB, 10 * kMiB, 4.0,
         "[##############################] 100%  10.0 MB of 10.0 MB  0:00 left"},
        {20, 10, 4.0, "[##############################] 100%  10 B of 10 B  0:00 left"},
        {1, 1000, 10.0, "[                              ]   0%  1 B of 1000 B  2:46:30 left"},
        {3 * (kMiB << 10), 6 * (kMiB << 10), 90.0,
         "[###############               ]  50%  3.00 GB of 6.00 GB  1:30 left"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ProgressBar::format(c.done, c.total, c.elapsed), c.text);
    }
}

std::string contentOf(std::FILE* file) {
    std::fflush(file);
    std::string text(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fseek(file, 0, SEEK_END);
    return text;
}

// Past the first second the bar is drawn in place, at most every tenth of a second, and
// wiped at the end; not shown, nothing is written at all.
TEST(ProgressBar, DrawnOnlyPastTheFirstSecond) {
    using namespace std::chrono_literals;
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show);
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        std::chrono::steady_clock::time_point now{};
        {
            ProgressBar bar(out, show, [&now] { return now; });
            now += 900ms;
            bar.update(1, 4);
            EXPECT_EQ(contentOf(out), "");  // a quick read shows nothing
            now += 200ms;
            bar.update(2, 4);
            const std::string drawn = "\r" + ProgressBar::format(2, 4, 1.1) + "\033[K";
            EXPECT_EQ(contentOf(out), show ? drawn : "");
            now += 50ms;
            bar.update(3, 4);
            EXPECT_EQ(contentOf(out), show ? drawn : "");  // too soon to draw again
            now += 60ms;
            bar.update(3, 4);
            const std::string redrawn = drawn + "\r" + ProgressBar::format(3, 4, 1.21) + "\033[K";
            EXPECT_EQ(contentOf(out), show ? redrawn : "");
            bar.finish();
            EXPECT_EQ(contentOf(out), show ? redrawn + "\r\033[K" : "");
        }
        std::fclose(out);
    }
}

// The bar goes on a terminal, unless what the program writes meanwhile goes to the same one.
TEST(ProgressBar, WantedOnATerminalTheOutputDoesNotShare) {
    PseudoTerminal one, other;
    ASSERT_TRUE(one.open() && other.open());
    std::FILE* terminal = std::fopen(one.slavePath().c_str(), "w");
    std::FILE* sameTerminal = std::fopen(one.slavePath().c_str(), "w");
    std::FILE* otherTerminal = std::fopen(other.slavePath().c_str(), "w");
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(terminal && sameTerminal && otherTerminal && file);
    EXPECT_TRUE(ProgressBar::wanted(terminal, file));
    EXPECT_TRUE(ProgressBar::wanted(terminal, nullptr));
    EXPECT_TRUE(ProgressBar::wanted(terminal, otherTerminal));
    EXPECT_FALSE(ProgressBar::wanted(terminal, terminal));
    EXPECT_FALSE(ProgressBar::wanted(terminal, sameTerminal));
    EXPECT_FALSE(ProgressBar::wanted(file, nullptr));
    EXPECT_FALSE(ProgressBar::wanted(file, terminal));
    for (std::FILE* f : {terminal, sameTerminal, otherTerminal, file}) std::fclose(f);
}

}  // namespace
}  // namespace corvane
