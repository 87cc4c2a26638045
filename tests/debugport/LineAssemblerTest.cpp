#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debugport/LineAssembler.h"

namespace corvane {
namespace {

struct LineCase {
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
};

TEST(LineAssembler, SplitsChunksIntoCommandLines) {
    const std::string a127(127, 'a');
    const LineCase cases[] = {
        {{"devs\r\n"}, {"devs"}},
        {{"de", "vs\r\n"}, {"devs"}},
        {{"devs"}, {}},  // no line end yet
        {{"\r\n\r\n"}, {}},
        {{"a\rb\nc\x01"}, {"a", "b", "c"}},
        {{"folder C:\\Modules\n"}, {"folder C:\\Modules"}},
        {{"x\x80y\xff"}, {"x", "y"}},  // bytes above 127 end a line
        {{"\x7f\n"}, {"\x7f"}},        // 127 counts as text
        {{a127 + "\n"}, {a127}},
        {{std::string(128, 'a') + "\n"}, {}},
        {{std::string(130, 'a') + "\n"}, {"aa"}},
        {{std::string(100, 'a'), std::string(30, 'b') + "\n"}, {"bb"}},
        {{std::string(256, 'a') + "devs\n"}, {"devs"}},
    };
    for (const auto& c : cases) {
        LineAssembler assembler;
        std::vector<std::string> got;
        for (const auto& chunk : c.chunks) {
            for (auto& line : assembler.feed(chunk)) got.push_back(line);
        }
        EXPECT_EQ(got, c.lines) << c.chunks.front().substr(0, 20);
    }
}

}  // namespace
}  // namespace corvane
