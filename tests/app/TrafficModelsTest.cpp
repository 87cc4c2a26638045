#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/traffic/RowNames.h"
#include "app/traffic/TrafficFilter.h"
#include "app/traffic/TrafficLog.h"
#include "app/traffic/ValueTable.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"
#include "platform/MemorySettingsStore.h"

namespace corvane {
namespace {

// A message decoded against the built-in catalogue, as the window takes it in.
struct Decoded {
    decode::DecodedMessage m;
    std::vector<uint8_t> bytes;
    TrafficRow row;
    FieldTexts texts;
    Decoded(uint32_t dgn, uint8_t sa, std::vector<uint8_t> data, int64_t micros = 0,
            std::string source = "")
        : bytes(std::move(data)) {
        decode::decodeMessage(decode::builtinCatalogue(), dgn, sa, bytes, m);
        texts = fieldTexts(m);
        row = makeTrafficRow(m, micros, std::move(source), texts);
    }
};

// A dimmer's status: instance, then its level in half percents.
Decoded dimmer(uint8_t instance, uint8_t level, int64_t micros) {
    return Decoded(0x1FEDA, 0x60, {instance, 0xFF, level, 0xFC, 0xFF, 0xFF, 0x05, 0xFF}, micros);
}
Decoded battery(uint16_t centiVolts, int64_t micros) {
    const uint16_t raw = static_cast<uint16_t>(centiVolts / 5);  // 0.05 V steps
    return Decoded(
        0x1FFFD, 0x42,
        {1, 100, static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8), 0xFF, 0xFF, 0xFF, 0xFF},
        micros);
}

TEST(TrafficRow, DecodesOnceWithItsKeyNameAndFields) {
    const Decoded dc = battery(1320, 5);
    EXPECT_EQ(dc.row.key, (RowKey{0x42, 0x1FFFD, 1}));
    EXPECT_EQ(dc.row.key.text(), "42-1FFFD-1");
    EXPECT_EQ(dc.row.name, "DC_SOURCE_STATUS_1");
    EXPECT_NE(dc.row.fields.find("dc_voltage=13.2V"), std::string::npos) << dc.row.fields;
    EXPECT_EQ(dc.row.fields.find("instance="), std::string::npos);  // it has its own column

    // A PDU1 message is keyed by its family; an unknown one keeps its bytes.
    const Decoded unknown(0x1EF42, 0x10, {1, 2, 3});
    EXPECT_EQ(unknown.row.name, "unknown");
    EXPECT_EQ(unknown.row.fields, "data=010203");
    EXPECT_EQ(unknown.row.key, (RowKey{0x10, 0x1EF00, -1}));
    EXPECT_EQ(unknown.row.key.text(), "10-1EF00");
}

TEST(TrafficFilter, EachPartNarrowsAsDocumented) {
    const Decoded dc = battery(1320, 0);
    TrafficRow row = dc.row;
    row.sourceName = "Inverter";
    struct Case {
        TrafficFilter filter;
        std::string given;
        bool passes;
    };
    const Case cases[] = {
        {{}, "", true},
        {{"42", "", ""}, "", true},
        {{"4", "", ""}, "", false},  // an address, not a part of one
        {{"inVERter", "", ""}, "", true},
        {{"heater", "", ""}, "", false},
        {{"", "1fffd", ""}, "", true},
        {{"", "1FFF", ""}, "", false},  // a DGN is matched whole
        {{"", "source_status", ""}, "", true},
        {{"", "house", ""}, "House battery", true},
        {{"", "", "13.2v"}, "", true},
        {{"", "", "0164"}, "", true},  // the bytes in hex
        {{"", "", "house"}, "House battery", true},
        {{"", "", "14.0V"}, "", false},
        {{"42", "DC_SOURCE", "volt"}, "", true},
        {{"42", "TANK", ""}, "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.filter.matches(row, c.given), c.passes)
            << c.filter.source << "|" << c.filter.message << "|" << c.filter.text;
    }
}

class TrafficLogTest : public ::testing::Test {
  protected:
    std::vector<TrafficRow> rows(int from, int count) {
        std::vector<TrafficRow> out;
        for (int i = from; i < from + count; ++i) {
            // Even rows from 0x42, odd from 0x44; micros number the rows.
            TrafficRow r = battery(1300, i).row;
            r.key.source = i % 2 == 0 ? 0x42 : 0x44;
            out.push_back(r);
        }
        return out;
    }
    // What a view is told, step by step, applied to a count of shown rows.
    size_t add(TrafficLog& log, std::vector<TrafficRow> batch, size_t shown) {
        shown -= log.evictedBy(batch.size());
        log.makeRoom(batch.size());
        shown += log.matching(batch);
        log.append(std::move(batch));
        EXPECT_EQ(shown, log.shownCount());
        return shown;
    }
    MemorySettingsStore store;
    RowNames names{store};
};

TEST_F(TrafficLogTest, KeepsTheNewestRowsAndTellsTheViewWhatLeaves) {
    TrafficLog log(names, 10);
    size_t shown = add(log, rows(0, 6), 0);
    shown = add(log, rows(6, 7), shown);  // 3 oldest leave
    EXPECT_EQ(log.size(), 10u);
    EXPECT_EQ(log.shown(0).micros, 3);
    EXPECT_EQ(log.shown(9).micros, 12);

    log.setFilter({"44", "", ""});
    shown = log.shownCount();
    EXPECT_EQ(shown, 5u);
    EXPECT_EQ(log.shown(0).micros, 3);
    shown = add(log, rows(13, 4), shown);  // 13..16: 13 and 15 pass; 3, 5 leave
    EXPECT_EQ(log.shown(0).micros, 7);
    EXPECT_EQ(log.shown(shown - 1).micros, 15);

    // A batch as large as the whole log replaces it.
    add(log, rows(100, 10), shown);
    EXPECT_EQ(log.size(), 10u);
    EXPECT_EQ(log.shown(0).micros, 101);
}

TEST_F(TrafficLogTest, PauseHoldsNewRowsAndResumeGivesThemBackBounded) {
    TrafficLog log(names, 10);
    add(log, rows(0, 4), 0);
    log.pause();
    log.hold(rows(4, 8));
    log.hold(rows(12, 5));  // 13 held: the 3 oldest are dropped
    EXPECT_EQ(log.shownCount(), 4u);
    EXPECT_EQ(log.heldCount(), 10u);
    std::vector<TrafficRow> back = log.resume();
    EXPECT_FALSE(log.paused());
    ASSERT_EQ(back.size(), 10u);
    EXPECT_EQ(back.front().micros, 7);
    add(log, std::move(back), 4);
    EXPECT_EQ(log.shown(9).micros, 16);
}

TEST_F(TrafficLogTest, AGivenNameIsFoundByTheFilter) {
    TrafficLog log(names, 10);
    add(log, rows(0, 4), 0);
    log.setFilter({"", "galley", ""});
    EXPECT_EQ(log.shownCount(), 0u);
    names.setName({0x44, 0x1FFFD, 1}, "Galley light");
    log.refilter();
    EXPECT_EQ(log.shownCount(), 2u);
}

TEST(ValueTable, OneRowPerKeyWithChangeTimes) {
    ValueTable table;
    const Decoded d1 = dimmer(1, 0, 1'000'000);
    EXPECT_EQ(table.update(d1.row, d1.texts), 0u);
    const Decoded b = battery(1320, 1'100'000);
    EXPECT_EQ(table.update(b.row, b.texts), 1u);
    const Decoded d2 = dimmer(2, 0, 1'200'000);
    EXPECT_EQ(table.update(d2.row, d2.texts), 2u);
    const Decoded d1on = dimmer(1, 200, 2'000'000);
    EXPECT_EQ(table.update(d1on.row, d1on.texts), 0u);
    ASSERT_EQ(table.size(), 3u);

    const ValueTable::Row& row = table.row(0);
    EXPECT_EQ(row.count, 2u);
    bool levelChanged = false;
    for (const auto& f : row.fields) {
        if (f.name == "brightness") {
            EXPECT_EQ(f.text, "100%");
            EXPECT_EQ(f.changedMicros, 2'000'000);
            EXPECT_TRUE(ValueTable::recentlyChanged(f, 4'999'999));
            EXPECT_FALSE(ValueTable::recentlyChanged(f, 5'000'000));
            levelChanged = true;
        } else {
            EXPECT_EQ(f.changedMicros, 0) << f.name;  // a first value is no change
        }
    }
    EXPECT_TRUE(levelChanged);
}

// A full table leaves out new rows and counts them; the rows it has still update.
TEST(ValueTable, AFullTableCountsWhatItLeavesOut) {
    ValueTable table(2);
    const Decoded first = dimmer(1, 0, 1);
    const Decoded second = dimmer(2, 0, 2);
    EXPECT_EQ(table.update(first.row, first.texts), 0u);
    EXPECT_EQ(table.update(second.row, second.texts), 1u);
    const Decoded third = dimmer(3, 0, 3);
    EXPECT_EQ(table.update(third.row, third.texts), ValueTable::kNotKept);
    EXPECT_EQ(table.update(third.row, third.texts), ValueTable::kNotKept);
    const Decoded on = dimmer(1, 200, 4);
    EXPECT_EQ(table.update(on.row, on.texts), 0u);
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.notKept(), 2u);
    EXPECT_EQ(table.row(0).count, 2u);
}

TEST(ValueTable, WatchKeepsWhatTheSwitchDroveNotWhatMovesOnItsOwn) {
    ValueTable table;
    auto feed = [&](const Decoded& d) { table.update(d.row, d.texts); };
    // Before the watch: the battery drains by itself, the dimmers sit still.
    for (int s = 0; s < 5; ++s) {
        feed(battery(static_cast<uint16_t>(1330 - 5 * s), s * 1'000'000));
        feed(dimmer(1, 0, s * 1'000'000));
        feed(dimmer(2, 100, s * 1'000'000));
    }
    table.startWatch(5'000'000);
    EXPECT_TRUE(table.watching());
    feed(battery(1300, 6'000'000));
    feed(dimmer(2, 200, 6'000'000));  // switched on ...
    feed(dimmer(2, 100, 7'000'000));  // ... and back: still what the switch drives
    feed(dimmer(1, 0, 7'000'000));
    const Decoded command(0x1FEDB, 0x90, {2, 0xFF, 200, 0, 0xFF, 0, 0xFF, 0xFF}, 6'500'000);
    table.update(command.row, command.texts);  // a message first seen during the watch
    const std::vector<size_t> changed = table.stopWatch();
    EXPECT_FALSE(table.watching());
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(table.row(changed[0]).key, (RowKey{0x60, 0x1FEDA, 2}));
    EXPECT_EQ(table.row(changed[1]).key, (RowKey{0x90, 0x1FEDB, 2}));
    for (const auto& f : table.row(changed[0]).fields)
        EXPECT_EQ(f.watched, f.name == "brightness") << f.name;
}

// A slide whose bytes 3-7 no field reads: a change there is a change like any other, and
// so is its going back to ones (the bytes are shown no more).
TEST(ValueTable, ChangedBytesNoFieldReadsAreChanges) {
    ValueTable table;
    auto slide = [](uint8_t unread, int64_t micros) {
        return Decoded(0x1FFE8, 0x52, {1, 0xF1, 1, 0xFF, 0xFF, unread, 0xFF, 0xFF}, micros);
    };
    const Decoded first = slide(0x21, 1'000'000);
    EXPECT_EQ(first.row.fields,
              "air_seal=deflated vacuum=off motion=extending data=......FFFF21FFFF");
    table.update(first.row, first.texts);
    table.startWatch(20'000'000);
    const Decoded changed = slide(0x22, 21'000'000);
    table.update(changed.row, changed.texts);
    std::vector<size_t> rows = table.stopWatch();
    ASSERT_EQ(rows.size(), 1u);
    for (const auto& f : table.row(0).fields) EXPECT_EQ(f.watched, f.name == "data") << f.name;

    table.startWatch(40'000'000);  // long enough after the last change not to be restless
    const Decoded ones = slide(0xFF, 41'000'000);
    EXPECT_EQ(ones.texts.size(), 3u);  // nothing to show: the filler is back
    table.update(ones.row, ones.texts);
    rows = table.stopWatch();
    ASSERT_EQ(rows.size(), 1u);
    const ValueTable::Field& data = table.row(0).fields.back();
    EXPECT_EQ(data.name, "data");
    EXPECT_EQ(data.text, "");
    EXPECT_TRUE(data.watched);
}

TEST(RowNames, CoachIsTheLowestIdentifiedNode) {
    RVCNode a{0x44, "Acme", "X1", "SN7", ""};
    RVCNode b{0x42, "Volt", "Inv 2", "A-1", ""};
    RVCNode anonymous{0x10, "Nameless", "N", "", ""};
    EXPECT_EQ(RowNames::coachOf({a, b, anonymous}), "Volt Inv 2 A-1");
    EXPECT_EQ(RowNames::coachOf({a}), "Acme X1 SN7");
    EXPECT_EQ(RowNames::coachOf({anonymous}), RowNames::kUnidentified);
    EXPECT_EQ(RowNames::coachOf({}), RowNames::kUnidentified);
}

TEST(RowNames, NamesAreSavedPerCoach) {
    MemorySettingsStore store;
    const RowKey galley{0x60, 0x1FEDA, 2};
    {
        RowNames names(store);
        names.setCoach("Volt Inv/2 A-1");
        names.setName(galley, "Galley light");
        EXPECT_EQ(names.nameOf(galley), "Galley light");
        EXPECT_TRUE(names.setCoach("Other coach"));
        EXPECT_EQ(names.nameOf(galley), "");
        EXPECT_FALSE(names.setCoach("Other coach"));
    }
    RowNames again(store);  // the next visit
    again.setCoach("Volt Inv/2 A-1");
    EXPECT_EQ(again.nameOf(galley), "Galley light");
    EXPECT_EQ(store.readString("Traffic Names Volt Inv_2 A-1", "60-1FEDA-2"), "Galley light");
    again.setName(galley, "");
    EXPECT_EQ(RowNames(store).nameOf(galley), "");
}

// Names given before the coach is known follow it as it settles, and only then.
TEST(RowNames, NamesGivenBeforeTheCoachIsKnownFollowIt) {
    MemorySettingsStore store;
    const RowKey galley{0x60, 0x1FEDA, 2}, porch{0x60, 0x1FEDA, 3}, step{0x60, 0x1FEDA, 4};
    const RVCNode tanks{0x48, "Acme", "TS", "T-9", ""};
    const RVCNode inverter{0x42, "Volt", "Inv 2", "A-1", ""};
    const RVCNode stranger{0x40, "Other", "Inv", "Z-5", ""};
    store.writeString("Traffic Names Volt Inv 2 A-1", porch.text(), "Porch light");
    RowNames names(store);
    names.setName(galley, "Galley light");  // nobody has said who the coach is yet
    names.setName(porch, "Awning light");
    EXPECT_TRUE(names.follow({tanks}));
    EXPECT_EQ(names.nameOf(galley), "Galley light");
    names.setName(step, "Step light");
    // A lower address identifies itself beside the first: the same coach, its settled key.
    EXPECT_TRUE(names.follow({tanks, inverter}));
    EXPECT_EQ(names.coach(), "Volt Inv 2 A-1");
    EXPECT_EQ(names.nameOf(galley), "Galley light");
    EXPECT_EQ(names.nameOf(step), "Step light");
    EXPECT_EQ(names.nameOf(porch), "Porch light");  // the coach's own name stays
    EXPECT_EQ(store.readString("Traffic Names unidentified coach", galley.text()), "");
    EXPECT_EQ(store.readString("Traffic Names Acme TS T-9", step.text()), "");
    EXPECT_FALSE(names.follow({tanks, inverter}));

    // Another adapter, another coach: the tables empty, a new lowest node, nothing carried.
    EXPECT_TRUE(names.follow({}));
    EXPECT_TRUE(names.follow({stranger}));
    EXPECT_EQ(names.nameOf(galley), "");
    EXPECT_TRUE(names.follow({inverter}));
    EXPECT_EQ(names.nameOf(galley), "Galley light");
    // A node replaced by another at a lower address, the first gone: not the same coach.
    names.setName(step, "Door light");
    EXPECT_TRUE(names.follow({stranger}));
    EXPECT_EQ(names.nameOf(step), "");
    EXPECT_EQ(store.readString("Traffic Names Volt Inv 2 A-1", step.text()), "Door light");
}

}  // namespace
}  // namespace corvane
