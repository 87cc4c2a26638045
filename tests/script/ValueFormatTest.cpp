#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "script/ValueFormat.h"

namespace corvane {
namespace {

TEST(EnumText, ExactKeyThenUpperCaseDefaultThenError) {
    struct Case {
        const char* format;
        uint8_t key;
        const char* text;
    };
    const Case cases[] = {
        {"#0=Off#1=On#DEFAULT=Error#", 1, "On"},
        {"#0=Off#1=On#DEFAULT=Fault#", 7, "Fault"},
        {"#1=one#2=two#default=other#", 7, "Error"},  // lower-case default not recognised
        {"#1 = On#", 1, "Error"},                     // spaces break the exact search
        {"#0=0#1=1#2=Err#3=N/D#", 3, "N/D"},
        {"#0=0#1=1#2=Err#3=N/D#", 2, "Err"},
        {"#11=eleven#1=one#", 1, "one"},  // "#1=" is not found inside "#11="
        {"#255=top#", 255, "top"},
        {"#1=#", 1, ""},
        {"#1=no end", 1, "no end"},  // never reads past the text
        {"", 0, "Error"},
    };
    for (const auto& c : cases) EXPECT_EQ(EnumText(c.format, c.key), c.text) << c.format;
}

TEST(TimeText, SecondsAndMinutesInBothShapes) {
    struct Case {
        FormatKind kind;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {FormatKind::Seconds, 192, "  0:03:12"},
        {FormatKind::SecondsDecimal, 192, "  0:03.20"},
        {FormatKind::Minutes, 75.5, "  1:15:30"},
        {FormatKind::MinutesDecimal, 75.5, "  1:15.50"},
        {FormatKind::Seconds, 0, "  0:00:00"},
        {FormatKind::Seconds, 3600 * 125 + 61, "125:01:01"},
        {FormatKind::SecondsDecimal, 3600 + 900, "  1:15.00"},
        {FormatKind::SecondsDecimal, 599.8, "  0:10.00"},  // 9.997 minutes round up
        {FormatKind::SecondsDecimal, 3600 * 2 + 59 * 60, "  2:59.00"},
        {FormatKind::Seconds, -192, " -0:03:12"},
        {FormatKind::MinutesDecimal, -75.5, " -1:15.50"},
        {FormatKind::Minutes, -600, "-10:00:00"},
        {FormatKind::Seconds, std::numeric_limits<double>::infinity(), "Err"},
        {FormatKind::Minutes, std::nan(""), "Err"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeText(c.kind, c.value), c.text) << static_cast<int>(c.kind) << " " << c.value;
    }
    // Hours beyond any int still format.
    EXPECT_EQ(TimeText(FormatKind::Seconds, 1e30).find(':') > 20, true);
}

TEST(PrintfFormat, OnlyOneFloatingConversionReachesPrintf) {
    const std::pair<const char*, bool> cases[] = {
        {"%6.1f", true},
        {"%f", true},
        {"%.0f", true},
        {"%12.3f", true},
        {"%e", true},
        {"%G", true},
        {"%lf", true},
        {"%-+ #08.2f", true},
        {"%5.1f %%", true},
        {"%% %f %%", true},
        {"Volts: %4.1f V", true},
        {"", false},
        {"text", false},
        {"%", false},
        {"%d", false},
        {"%s", false},
        {"%n", false},
        {"%D Of", false},
        {"%f %f", false},
        {"%*f", false},
        {"%.*f", false},
        {"%Lf", false},
        {"%1000f", false},
        {"%.1000f", false},
        {"%999.999f", true},
        {"%%", false},
        {"%5", false},
        {"%f%", false},
        {"%hf", false},
    };
    for (const auto& [format, safe] : cases) EXPECT_EQ(IsSafeFloatFormat(format), safe) << format;
}

TEST(PrintfFormat, FormatsTheValueOrReportsParsingError) {
    EXPECT_EQ(PrintfValue("%3.0f", 12), " 12");
    EXPECT_EQ(PrintfValue("%8.3f", 13), "  13.000");
    EXPECT_EQ(PrintfValue("%5.1f %%", 2.25), "  2.2 %");
    EXPECT_EQ(PrintfValue("%s", 1), "Parsing Error");
    EXPECT_EQ(PrintfValue("%999.999f", 1e300).size(), 1301u);
}

}  // namespace
}  // namespace corvane
