#include "script/ui/CInfo.h"

#include <gtest/gtest.h>

#include "tests/script/ui/ScriptUiHarness.h"

namespace corvane::test {
namespace {

struct LogCase {
    std::vector<std::pair<bool, std::string>> calls;  // true: AppendLine, false: AppendText
    std::vector<std::string> lines;
};

TEST(CInfoTest, AppendsAsTheLogRulesSay) {
    ensureApplication();
    const std::vector<LogCase> cases = {
        {{}, {""}},
        {{{true, "one"}}, {"one", ""}},
        {{{false, "a"}, {false, "b"}}, {"ab"}},
        {{{false, "a"}, {true, "b"}}, {"ab", ""}},
        {{{true, "x\ry"}}, {"x", "y", ""}},
        {{{true, "x\r\ny"}}, {"x", "y", ""}},
        {{{true, "\n\n"}}, {"", ""}},
        {{{false, "end\r"}}, {"end", ""}},
        {{{false, "\r\r"}}, {"", "", ""}},
        {{{true, "a"}, {true, ""}}, {"a", "", ""}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        CInfo log;
        for (const auto& [line, text] : cases[i].calls) {
            if (line) {
                log.AppendLine(text);
            } else {
                log.AppendText(text);
            }
        }
        EXPECT_EQ(log.Lines(), cases[i].lines) << "case " << i;
    }
}

TEST(CInfoTest, ClearLeavesOneEmptyLine) {
    ensureApplication();
    CInfo log;
    log.AppendLine("gone");
    log.Clear();
    EXPECT_EQ(log.Lines(), std::vector<std::string>{""});
}

}  // namespace
}  // namespace corvane::test
