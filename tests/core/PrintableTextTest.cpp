#include "core/PrintableText.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

// Worked out by hand: C3 A9 is U+00E9 in UTF-8, EF BF BD is U+FFFD.
TEST(PrintableText, KeepsUtf8ReadsLatin1AndReplacesTheRest) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"plain ASCII", "Brightwater 12", "Brightwater 12"},
        {"a Latin-1 letter", "Caf\xE9", "Caf\xC3\xA9"},
        {"the same letter already in UTF-8", "Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"a three-byte character", "22\xE2\x84\x83", "22\xE2\x84\x83"},
        {"a control byte", std::string("A\0B", 3),
         "A\xEF\xBF\xBD"
         "B"},
        {"line feed and escape", "A\n\x1B[2J", "A\xEF\xBF\xBD\xEF\xBF\xBD[2J"},
        {"a C1 control byte",
         "A\x85"
         "B",
         "A\xEF\xBF\xBD"
         "B"},
        {"a C1 control written in UTF-8",
         "A\xC2\x85"
         "B",
         "A\xC3\x82\xEF\xBF\xBD"
         "B"},
        {"a lead byte cut off at the end", "A\xE2\x84", "A\xC3\xA2\xEF\xBF\xBD"},
        {"an overlong slash: two Latin-1 letters", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"nothing", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(printableText(c.bytes), c.text) << c.what;
    }
}

}  // namespace
}  // namespace corvane
