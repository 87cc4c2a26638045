#include <gtest/gtest.h>

#include "decode/Conversions.h"
#include "decode/FieldSpec.h"

namespace corvane::decode {
namespace {

TEST(Conversions, StandardScaleAndOffsetByUnitAndWidth) {
    struct Row {
        const char* unit;
        unsigned bits;
        double scale, offset;
    };
    const Row rows[] = {
        {"%", 8, 0.5, 0},
        {"°C", 8, 1, -40},
        {"°C", 16, 0.03125, -273},
        {"V", 16, 0.05, 0},
        {"A", 8, 1, 0},
        {"A", 16, 0.05, -1600},
        {"A", 32, 0.001, -2e6},
        {"Hz", 16, 1.0 / 128, 0},
        {"Hz", 8, 1, 0},
        {"min", 16, 1, 0},
        {"", 8, 1, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.unit) + " " + std::to_string(r.bits));
        const Conversion c = standardConversion(r.unit, r.bits);
        EXPECT_DOUBLE_EQ(c.scale, r.scale);
        EXPECT_DOUBLE_EQ(c.offset, r.offset);
    }
}

TEST(Conversions, CommunityUnitsAndNames) {
    EXPECT_EQ(canonicalUnit("v"), "V");
    EXPECT_EQ(canonicalUnit("Pct"), "%");
    EXPECT_EQ(canonicalUnit("Deg C"), "°C");
    EXPECT_EQ(canonicalUnit("deg c"), "°C");
    EXPECT_EQ(canonicalUnit("sec"), "s");
    EXPECT_EQ(canonicalUnit("bitmap"), "");
    EXPECT_EQ(canonicalUnit("kPa"), "kPa");  // kept as written
    EXPECT_EQ(snakeCase("operating status (brightness)"), "operating_status_brightness");
    EXPECT_EQ(snakeCase("Pass-through enable on startup"), "pass_through_enable_on_startup");
    EXPECT_EQ(snakeCase("  SPN-MSB "), "spn_msb");
}

TEST(Conversions, DecimalsFollowTheScale) {
    EXPECT_EQ(decimalsOf(1), 0);
    EXPECT_EQ(decimalsOf(0.5), 1);
    EXPECT_EQ(decimalsOf(0.05), 2);
    EXPECT_EQ(decimalsOf(0.03125), 5);
    EXPECT_EQ(decimalsOf(1.0 / 128), 7);
}

}  // namespace
}  // namespace corvane::decode
