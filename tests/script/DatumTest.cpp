#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "core/RvcMessage.h"
#include "script/DatumDefinition.h"
#include "script/RVCDatumButton.h"
#include "script/RVCDatumConstant.h"
#include "script/RVCDatumFormula.h"
#include "script/RVCDatumInteger.h"
#include "script/RVCDatumMonitor.h"

namespace corvane {
namespace {

RvcMessage Message(uint32_t dgn, std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> data(bytes);
    return *makeMessage(dgn, 0x42, data);
}

std::unique_ptr<RVCDatumMonitor> Monitor(std::string_view arguments) {
    return RVCDatumMonitor::FromDefinition(ParseDatumDefinition(arguments), true);
}

TEST(DatumDefinition, ParsesAddressExpressionScaleTitleAndFormat) {
    struct Case {
        const char* arguments;
        const char* name;
        uint32_t dgn;
        uint8_t instance, secondary, selector;
        int byteIndex, bitShift;
        double multiplier, offset;
        const char* title;
        const char* format;
        FormatKind kind;
    };
    const Case cases[] = {
        {" hour 1FFFF [B5]", "HOUR", 0x1FFFF, 0xFF, 0xFF, 8, 4, 0, 1, 0, "", "%3.0f",
         FormatKind::Printf},
        {" house_voltage 1FFFD:01 [W3 * 0.05]", "HOUSE_VOLTAGE", 0x1FFFD, 1, 0xFF, 16, 2, 0, 0.05,
         0, "", "%8.3f", FormatKind::Printf},
        {" temp 1FFFD:01:02 [W2 * 0.03125 - 273]", "TEMP", 0x1FFFD, 1, 2, 16, 1, 0, 0.03125, -273,
         "", "%8.3f", FormatKind::Printf},
        {" dsa_fault 1FECA:58 [F11]", "DSA_FAULT", 0x1FECA, 0x58, 0xFF, 2, 0, 0, 1, 0, "",
         "#0=0#1=1#2=Err#3=N/D#", FormatKind::Enumerated},
        {" f 1FFFF [f13]", "F", 0x1FFFF, 0xFF, 0xFF, 2, 0, 2, 1, 0, "", "#0=0#1=1#2=Err#3=N/D#",
         FormatKind::Enumerated},
        {" t 1 [T24] \"Three\"", "T", 1, 0xFF, 0xFF, 3, 1, 3, 1, 0, "Three", "%2.0f",
         FormatKind::Printf},
        {" n 1 [N8]", "N", 1, 0xFF, 0xFF, 4, 7, -1, 1, 0, "", "%2.0f", FormatKind::Printf},
        {" l 1 [L1 + 10]", "L", 1, 0xFF, 0xFF, 32, 0, 0, 1, 10, "", "%12.3f", FormatKind::Printf},
        {" p 1 [P]", "P", 1, 0xFF, 0xFF, 64, 0, 0, 1, 0, "", "", FormatKind::Printf},
        {" x 1 [X1] \"Label\"", "X", 1, 0xFF, 0xFF, 255, 0, 0, 1, 0, "Label", "",
         FormatKind::Printf},
        {" d 17FXX:1FF [B]", "D", 0x17F, 0xFF, 0xFF, 8, -1, 0, 1, 0, "", "%3.0f",
         FormatKind::Printf},
        // A negative scale is not an offset, nor is an exponent's sign.
        {" neg 1 [B1 * -1]", "NEG", 1, 0xFF, 0xFF, 8, 0, 0, -1, 0, "", "%3.0f", FormatKind::Printf},
        {" small 1 [B1 * 1E-3]", "SMALL", 1, 0xFF, 0xFF, 8, 0, 0, 0.001, 0, "", "%3.0f",
         FormatKind::Printf},
        {" both 1 [W1 - 40 * 2]", "BOTH", 1, 0xFF, 0xFF, 16, 0, 0, 2, -40, "", "%8.3f",
         FormatKind::Printf},
        {" m 1 [B1] $%6.1F V$ \"Volts\"", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "Volts", "%6.1f V",
         FormatKind::Printf},
        {" m 1 [B1] $#1=one#2=two#default=other$", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "",
         "#1=one#2=two#default=other#", FormatKind::Enumerated},
        {" m 1 [B1] $%d$", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "", "%3.0f", FormatKind::Printf},
        {" m 1 [B1] $%s%f$", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "", "%3.0f", FormatKind::Printf},
        {" m 1 [B1] $MDEC$", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "", "%3.0f",
         FormatKind::MinutesDecimal},
        {" m 1 [B1] $Mins$", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "", "%3.0f", FormatKind::Minutes},
        {" m 1 [B1] $SDEC$", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "", "%3.0f",
         FormatKind::SecondsDecimal},
        {" m 1 [B1] $sdec$", "M", 1, 0xFF, 0xFF, 8, 0, 0, 1, 0, "", "%3.0f", FormatKind::Printf},
        {"", "", 0, 0xFF, 0xFF, 255, 0, 0, 1, 0, "", "", FormatKind::Printf},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const DatumDefinition d = ParseDatumDefinition(c.arguments);
        EXPECT_EQ(d.name, c.name);
        EXPECT_EQ(+d.dgn, +c.dgn);
        EXPECT_EQ(d.instance, c.instance);
        EXPECT_EQ(d.secondaryInstance, c.secondary);
        EXPECT_EQ(d.selection.selector, c.selector);
        if (c.selector != 255 && c.selector != 64) {
            EXPECT_EQ(d.selection.byteIndex, c.byteIndex);
            EXPECT_EQ(d.selection.bitShift, c.bitShift);
        }
        EXPECT_DOUBLE_EQ(d.multiplier, c.multiplier);
        EXPECT_DOUBLE_EQ(d.offset, c.offset);
        EXPECT_EQ(d.title, c.title);
        EXPECT_EQ(d.format, c.format);
        EXPECT_EQ(d.formatKind, c.kind);
    }
}

TEST(RVCDatum, UpdateFromMessageMatchesDgnAndInstances) {
    struct Case {
        const char* arguments;
        RvcMessage message;
        bool taken;
        uint32_t raw;
    };
    const Case cases[] = {
        {" hour 1FFFF [B5]", Message(0x1FFFF, {1, 2, 3, 4, 12, 6, 7, 8}), true, 12},
        {" hour 1FFFF [B5]", Message(0x1FFFF, {1, 2, 3, 4, 0xFF, 6, 7, 8}), false, 0xFF},
        {" hour 1FFFF [B5]", Message(0x1FFFE, {1, 2, 3, 4, 12, 6, 7, 8}), false, 0xFF},
        {" v 1FFFD:01 [W3]", Message(0x1FFFD, {1, 0, 4, 1}), true, 260},
        {" v 1FFFD:01 [W3]", Message(0x1FFFD, {2, 0, 4, 1}), false, 0xFFFF},
        {" t 1FFFD:01:02 [W2]", Message(0x1FFFD, {1, 2, 3}), true, 0x0302},
        {" t 1FFFD:01:02 [W2]", Message(0x1FFFD, {1, 3, 3, 0}), false, 0xFFFF},
        // DM_RV: instance is data byte 1; byte 0 and the secondary instance are not examined.
        {" f 1FECA:58:07 [F11]", Message(0x1FECA, {0x99, 0x58, 1}), true, 1},
        {" f 1FECA:58 [F11]", Message(0x1FECA, {0x58, 0x59, 1}), false, 3},
        // F13 of 0x5C: (0x5C >> 2) & 3 == 3, not available, so not taken.
        {" f 1 [F13]", Message(1, {0x5C}), false, 3},
        {" f 1 [F17]", Message(1, {0x40}), true, 1},
        {" f 1 [F18]", Message(1, {0x80}), true, 1},
        {" v 1 [V13]", Message(1, {0x5C}), true, 0x17},
        {" l 1 [L2]", Message(1, {0, 1, 2, 3, 4}), true, 0x04030201},
        // Bytes past the data present read 0xFF: a W8 on 8 bytes, a B on 3 bytes.
        {" w 1 [W8]", Message(1, {0, 0, 0, 0, 0, 0, 0, 5}), true, 0xFF05},
        {" b 1 [B5]", Message(1, {1, 2, 3}), false, 0xFF},
        {" b 1 [B]", Message(1, {1, 2, 3}), false, 0xFF},   // missing digit
        {" b 1 [B0]", Message(1, {1, 2, 3}), false, 0xFF},  // digit below "1"
        {" n 1 [N1]", Message(1, {0x0A}), false, 15},       // bit digit missing
        {" n 1 [N19]", Message(1, {0x0A}), false, 15},      // bit position past the byte
        {" i 1:05 [B2]", Message(1, {}), false, 0xFF},      // instance byte absent
        {" x 1 [X1]", Message(1, {1, 2}), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        auto d = Monitor(c.arguments);
        d->changed = 0;
        d->UpdateFromMessage(c.message);
        EXPECT_EQ(d->updates, c.taken ? 1 : 0);
        EXPECT_EQ(d->changed, c.taken ? 1 : 0);
        EXPECT_EQ(d->raw, c.raw);
    }
}

TEST(RVCDatum, PacketTakesEightBytesWhateverTheLength) {
    auto d = Monitor(" p 1FFFF [P]");
    EXPECT_EQ(d->ValueText(), "FF.FF.FF.FF.FF.FF.FF.FF");
    d->UpdateFromMessage(Message(0x1FFFF, {0x01, 0xAB, 0x0C}));
    EXPECT_EQ(d->ValueText(), "01.AB.0C.FF.FF.FF.FF.FF");
    d->UpdateFromMessage(Message(0x1FFFF, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(d->ValueText(), "01.02.03.04.05.06.07.08");
    EXPECT_EQ(d->updates, 2);
    d->Reset();
    EXPECT_EQ(d->ValueText(), "FF.FF.FF.FF.FF.FF.FF.FF");
}

TEST(RVCDatum, ValueTextBySelectorWithNotAvailableAndErrorRanges) {
    struct Case {
        const char* arguments;
        uint32_t raw;
        const char* text;
    };
    const Case cases[] = {
        {" f 1 [F11]", 0, "0"},
        {" f 1 [F11]", 1, "1"},
        {" f 1 [F11]", 2, "Err"},
        {" f 1 [F11]", 3, "N/D"},
        {" t 1 [T11]", 7, "N/D"},
        {" t 1 [T11]", 6, "Err"},
        {" t 1 [T11]", 5, " 5"},
        {" n 1 [N11]", 15, "N/D"},
        {" n 1 [N11]", 14, "Err"},
        {" n 1 [N11]", 13, "13"},
        {" u 1 [U11]", 31, "N/D"},
        {" u 1 [U11]", 30, "Err"},
        {" u 1 [U11]", 29, "29"},
        {" v 1 [V11]", 63, "N/D"},
        {" v 1 [V11]", 62, "Err"},
        {" v 1 [V11]", 61, "61"},
        {" b 1 [B1]", 0xFF, "N/D"},
        {" b 1 [B1]", 0xFC, "Err"},
        {" b 1 [B1]", 0xFB, "Err"},
        {" b 1 [B1]", 0xFA, "250"},
        {" b 1 [B1]", 12, " 12"},
        {" w 1 [W1]", 0xFFFF, "N/D"},
        {" w 1 [W1]", 0xFFFB, "Err"},
        {" w 1 [W1]", 0xFFFA, "65530.000"},
        {" w 1 [W1 * 0.05]", 260, "  13.000"},
        {" w 1 [W1 * 0.03125 - 273]", 9600, "  27.000"},
        {" l 1 [L1]", 0xFFFFFFFF, "N/D"},
        {" l 1 [L1]", 0xFFFFFFFB, "Err"},
        {" l 1 [L1]", 0xFFFFFFFA, "4294967290.000"},
        {" b 1 [B1] $#1=one#2=two#default=other$", 1, "one"},
        {" b 1 [B1] $#1=one#2=two#default=other$", 7, "Error"},
        {" b 1 [B1] $#1=one#2=two#DEFAULT=other$", 7, "other"},
        {" b 1 [B1] $S$", 192, "  0:03:12"},
        {" w 1 [W1 * 0.5] $MDEC$", 151, "  1:15.50"},
        {" b 1 [B1] $%5.1f%%$", 50, " 50.0%"},
        {" x 1 [X1] \"Hello %s\"", 0, "Hello %s"},  // a title shows as it is, % and all
    };
    for (const auto& c : cases) {
        auto d = Monitor(c.arguments);
        d->raw = c.raw;
        EXPECT_EQ(d->ValueText(), c.text) << c.arguments << " raw " << c.raw;
    }
}

TEST(RVCDatum, NewFieldShowsNotAvailableUntilAValueArrives) {
    for (const char* arguments :
         {" a 1 [F11]", " a 1 [T11]", " a 1 [B1]", " a 1 [W1]", " a 1 [L1]"}) {
        EXPECT_EQ(Monitor(arguments)->ValueText(), "N/D") << arguments;
    }
}

TEST(RVCDatum, EnumeratedWordsShowTheRawNumber) {
    auto w = Monitor(" w 1 [W1]");
    w->format = "#1=one#";
    w->formatKind = FormatKind::Enumerated;
    w->raw = 260;
    EXPECT_EQ(w->ValueText(), "[   260]");
    auto l = Monitor(" l 1 [L1]");
    l->format = "#1=one#";
    l->formatKind = FormatKind::Enumerated;
    l->raw = 0xFFFFFF00;  // shown signed
    EXPECT_EQ(l->ValueText(), "[  -256]");
}

TEST(RVCDatum, UnknownSelectorIsAParsingError) {
    auto d = Monitor(" a 1 [B1]");
    d->selector = 9;
    EXPECT_EQ(d->ValueText(), "Parsing Error");
}

TEST(RVCDatum, MonitorZeroResetAndDisplayLine) {
    auto d = Monitor(" volts 1 [W1 * 0.05] \"House Volts\"");
    EXPECT_EQ(d->DisplayLine(), "House Volts\tN/D\t0");
    d->UpdateFromMessage(Message(1, {4, 1}));
    EXPECT_EQ(d->DisplayLine(), "House Volts\t  13.000\t1");
    EXPECT_FLOAT_EQ(d->Value(), 13.0f);
    d->Zero();
    EXPECT_EQ(d->raw, 0u);
    d->Reset();
    EXPECT_EQ(d->raw, 0xFFFFu);
    d->Increment();  // only counters count
    EXPECT_EQ(d->raw, 0xFFFFu);
}

TEST(RVCDatumInteger, CounterUsesTheWordRanges) {
    auto c = RVCDatumInteger::FromArguments(" laps");
    EXPECT_EQ(c->name, "LAPS");
    EXPECT_EQ(c->ValueText(), "0");
    EXPECT_EQ(c->DisplayLine(), "LAPS\t0");
    for (int i = 0; i < 65530; ++i) c->Increment();
    EXPECT_EQ(c->ValueText(), "65530");
    c->Increment();
    EXPECT_EQ(c->ValueText(), "Err");  // 65531
    for (int i = 0; i < 4; ++i) c->Increment();
    EXPECT_EQ(c->ValueText(), "N/D");  // 65535
    c->Increment();
    EXPECT_EQ(c->ValueText(), "Err");  // 65536 is still in the error range
    c->Reset();
    EXPECT_EQ(c->ValueText(), "0");
    // A counter takes no DGN, whatever DGN a message claims.
    c->UpdateFromMessage(Message(RVCDatum::kNoDgn, {5, 0}));
    EXPECT_EQ(c->raw, 0u);
    EXPECT_EQ(c->updates, 0);
}

TEST(RVCDatumFormula, ShowsNoDataUntilUpdatedThenFollowsTheUpdates) {
    auto f = RVCDatumFormula::FromArguments(" mean_volts {volts 2 *}");
    EXPECT_EQ(f->name, "MEAN_VOLTS");
    EXPECT_EQ(f->expression, "volts 2 *");
    EXPECT_EQ(f->ValueText(), "N/D");
    f->Update(2.5);
    EXPECT_EQ(f->ValueText(), "       2.500");
    EXPECT_EQ(f->DisplayLine(), "\t       2.500");
    EXPECT_FLOAT_EQ(f->Value(), 2.5f);

    f->Zero();
    for (double r : {2.0, 4.0, 9.0}) f->UpdateMean(r);
    EXPECT_DOUBLE_EQ(f->value, 5.0);
    EXPECT_EQ(f->count, 3);

    f->Reset();
    for (double r : {4.0, 2.0, 9.0}) f->UpdateMin(r);
    EXPECT_DOUBLE_EQ(f->value, 2.0);
    f->Reset();
    for (double r : {4.0, 2.0, 9.0}) f->UpdateMax(r);
    EXPECT_DOUBLE_EQ(f->value, 9.0);
    f->Reset();
    for (double r : {4.0, 2.0, 9.0}) f->UpdateSum(r);
    EXPECT_DOUBLE_EQ(f->value, 15.0);

    f->formatKind = FormatKind::Enumerated;  // lists do not apply to formulas
    EXPECT_EQ(f->ValueText(), "      15.000");
    f->formatKind = FormatKind::Seconds;
    EXPECT_EQ(f->ValueText(), "  0:00:15");
}

TEST(RVCDatum, ConstantAndButtonShowTheirTitles) {
    auto k = RVCDatumConstant::FromArguments(" limit \"12.5\"");
    EXPECT_EQ(k->name, "LIMIT");
    EXPECT_EQ(k->ValueText(), "12.5");
    EXPECT_EQ(k->DisplayLine(), "LIMIT\t12.5");
    EXPECT_EQ(k->visible, 0);

    auto b = RVCDatumButton::FromArguments(" \"Go\" [SEND 1FFFE 00]");
    EXPECT_EQ(b->name, "");
    EXPECT_EQ(b->command, "SEND 1FFFE 00");
    EXPECT_EQ(b->ValueText(), "Go");
    EXPECT_EQ(b->DisplayLine(), "[ Go ]");
    EXPECT_EQ(b->visible, 1);
}

}  // namespace
}  // namespace corvane
