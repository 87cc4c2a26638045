#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/AddressColour.h"
#include "app/ConnectionStatus.h"
#include "app/ControlAnchor.h"
#include "app/DeviceDetails.h"
#include "app/DeviceRowLayout.h"
#include "app/DeviceRows.h"
#include "app/MenuRules.h"
#include "app/MenuTable.h"
#include "app/ModuleMenus.h"
#include "core/DeviceTable.h"

namespace corvane {
namespace {

RVCDevice device(uint8_t sa, uint8_t dsa, uint8_t status = 0x05, int identified = 1) {
    RVCDevice d;
    d.sa = sa;
    d.dsa = dsa;
    d.status = status;
    d.identified = identified;
    return d;
}

TEST(AddressColour, ToolIsWhiteAndOthersFollowTheSpread) {
    struct Case {
        uint8_t sa;
        Rgb colour;
    };
    const Case cases[] = {
        {249, {255, 255, 255}}, {0, {0, 0, 0}},        {1, {154, 66, 35}},
        {2, {0, 132, 70}},      {0x42, {77, 132, 70}}, {255, {77, 165, 245}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AddressColour(c.sa), c.colour) << int(c.sa);
    }
    // The address written on its tag stays readable on light and dark colours.
    EXPECT_EQ(AddressTextColour(249), (Rgb{0, 0, 0}));
    EXPECT_EQ(AddressTextColour(0), (Rgb{255, 255, 255}));
    EXPECT_EQ(AddressTextColour(0x42), (Rgb{255, 255, 255}));
    EXPECT_EQ(AddressTextColour(255), (Rgb{0, 0, 0}));  // (77, 165, 245): luma 147
    // No two of the first 16 addresses share a colour.
    std::set<std::tuple<int, int, int>> seen;
    for (int sa = 0; sa < 16; ++sa) {
        const Rgb c = AddressColour(static_cast<uint8_t>(sa));
        EXPECT_TRUE(seen.insert({c.red, c.green, c.blue}).second) << sa;
    }
}

TEST(DeviceRows, OrderedByDsaWithEqualDsasInReverseTableOrder) {
    struct Case {
        std::vector<RVCDevice> table;
        bool phantoms;
        std::vector<uint8_t> expectedSources;
    };
    const Case cases[] = {
        // A (88), B (66), C (88) -> B, C, A
        {{device(0xA, 88), device(0xB, 66), device(0xC, 88)}, false, {0xB, 0xC, 0xA}},
        {{device(1, 90), device(2, 10), device(3, 50)}, false, {2, 3, 1}},
        // A phantom is listed only while phantoms are shown.
        {{device(1, 90), device(2, 10, 0x05, 0)}, false, {1}},
        {{device(1, 90), device(2, 10, 0x05, 0)}, true, {2, 1}},
        {{}, true, {}},
    };
    for (const auto& c : cases) {
        DeviceRows rows;
        rows.rebuild(c.table, c.phantoms);
        std::vector<uint8_t> sources;
        for (int i = 0; i < rows.count(); ++i) sources.push_back(rows.at(i).sa);
        EXPECT_EQ(sources, c.expectedSources);
    }
}

TEST(DeviceRows, ReselectsTheLastMatchingRowUnlessEitherHalfIsZero) {
    DeviceRows rows;
    rows.rebuild({device(5, 88), device(7, 66), device(5, 88), device(0, 40), device(9, 0)}, false);
    // Rows: (9,0) (0,40) (7,66) (5,88) (5,88)
    struct Case {
        DeviceRows::Key remembered;
        std::optional<int> row;
    };
    const Case cases[] = {
        {{88, 5}, 4},           {{66, 7}, 2},           {{40, 0}, std::nullopt},
        {{0, 9}, std::nullopt}, {{0, 0}, std::nullopt}, {{66, 8}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rows.reselect(c.remembered), c.row) << int(c.remembered.dsa);
    }
}

TEST(DeviceRows, RefreshTakesNewStatusOnlyForChangedDevices) {
    DeviceRows rows;
    rows.rebuild({device(1, 10, 0x05), device(2, 20, 0x05)}, false);
    RVCDevice changed = device(2, 20, 0x45);
    changed.statusChanged = 1;
    RVCDevice unchanged = device(1, 10, 0x15);  // statusChanged 0: not taken
    EXPECT_EQ(rows.refreshStatus({unchanged, changed}), std::vector<int>{1});
    EXPECT_EQ(rows.at(1).status, 0x45);
    EXPECT_EQ(rows.at(0).status, 0x05);
}

TEST(DeviceRowLayout, CellsAndSquaredMarker) {
    struct Case {
        PixelRect row;
        DeviceRowLayout expected;
    };
    const Case cases[] = {
        // e = 40 is wider than the row is high: the marker loses (40 - 20) / 2 at each side.
        {{0, 0, 400, 20},
         {{10, 0, 30, 20},
          {40, 0, 80, 20},
          {80, 0, 120, 20},
          {120, 0, 240, 20},
          {250, 0, 400, 20}}},
        // e = 10 is less than the height: it loses (20 - 10) / 2 at the top and the bottom.
        {{5, 40, 105, 60},
         {{5, 45, 15, 55},
          {15, 40, 25, 60},
          {25, 40, 35, 60},
          {35, 40, 65, 60},
          {67, 40, 105, 60}}},
    };
    for (const auto& c : cases) {
        const DeviceRowLayout got = DeviceRowLayout::of(c.row);
        EXPECT_EQ(got.marker, c.expected.marker);
        EXPECT_EQ(got.dsa, c.expected.dsa);
        EXPECT_EQ(got.power, c.expected.power);
        EXPECT_EQ(got.state, c.expected.state);
        EXPECT_EQ(got.name, c.expected.name);
    }
}

TEST(DeviceRowLayout, StateCellColourFromTheLampBits) {
    struct Case {
        uint8_t status;
        StateFill fill;
    };
    const Case cases[] = {
        {0x45, StateFill::Red},        {0x15, StateFill::Yellow},     {0xD5, StateFill::Yellow},
        {0x55, StateFill::Red},        {0x05, StateFill::Background}, {0xF5, StateFill::Background},
        {0x25, StateFill::Background},
    };
    for (const auto& c : cases) EXPECT_EQ(stateFillOf(c.status), c.fill) << int(c.status);
}

TEST(DeviceRowLayout, StateTextNamesTheLitLamps) {
    struct Case {
        uint8_t status;
        const char* text;
    };
    const Case cases[] = {
        {0x05, "Active"},
        {0x01, "Inactive"},
        {0x45, "Active - red lamp"},
        {0x11, "Inactive - yellow lamp"},
        {0x55, "Active - red and yellow lamps"},
        {0x95, "Active - yellow lamp"},  // an error in the red field is no red lamp
        {0xF5, "Active"},                // the tool's own: both lamps not available
    };
    for (const auto& c : cases) EXPECT_EQ(stateTextOf(c.status), c.text) << int(c.status);
}

TEST(DeviceDetails, AddressesNodeTextsLampsAndFaultBytes) {
    RVCNode node;
    node.make = "ACME";
    node.model = "Heater 5";
    node.serialNumber = "SN123";
    node.idNumber = "7";
    RVCDevice faulted = device(0x42, 5, 0x65);
    faulted.fault = {0x9C, 0x00, 0x03, 0x01, 0xFF, 0xFF};
    EXPECT_EQ(DeviceDetailsText(faulted, node),
              "Source Address : 066\r\nDefault Source Address : 005\r\nMake : ACME\r\n"
              "Model : Heater 5\r\nSerial Number : SN123\r\nID Number : 7\r\n"
              "Lamps : Red On, Yellow Error\r\nFault Bytes : 9C 00 03 01 FF FF\r\n");

    RVCNode missing;
    missing.make = missing.model = missing.serialNumber = missing.idNumber = DeviceTable::kNotFound;
    EXPECT_EQ(DeviceDetailsText(device(249, 249, 0xF5), missing),
              "Source Address : 249\r\nDefault Source Address : 249\r\nMake : Not Found\r\n"
              "Model : Not Found\r\nSerial Number : Not Found\r\nID Number : Not Found\r\n"
              "Lamps : Red Not Available, Yellow Not Available\r\n"
              "Fault Bytes : FF FF FF FF FF FF\r\n");
}

TEST(ConnectionStatus, KindPlaceAndState) {
    struct Case {
        const char* kind;
        const char* location;
        ConduitState state;
        const char* line;
    };
    const Case cases[] = {
        {"FT-series adapter", "", Conduit::kConnected, "FT-series adapter: Connected"},
        {"Log replay", "/tmp/a.log", Conduit::kDisconnected,
         "Log replay (/tmp/a.log): Not connected"},
        {"KestrixLink cloud", "relay h, RV ID 7", Conduit::kLoggedIn,
         "KestrixLink cloud (relay h, RV ID 7): Logged in, opening the link"},
        {"Vexor-series adapter", "/dev/ttyUSB0", Conduit::kFailed,
         "Vexor-series adapter (/dev/ttyUSB0): Not connected (the last attempt failed)"},
        {"SocketCAN", "can0", Conduit::kDisabled, "SocketCAN (can0): Disabled"},
        {ConnectionStatus::kNoAdapter, "", Conduit::kConnected, "No adapter: Not connected"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConnectionStatus::lineOf(c.kind, c.location, c.state), c.line) << c.line;
}

TEST(ConnectionStatus, ReplayPosition) {
    struct Case {
        int64_t micros;
        double percent;
        const char* text;
    };
    const Case cases[] = {
        {0, 0.0, "0:00:00 into the log, 0%"},
        {754'900'000, 45.9, "0:12:34 into the log, 45%"},
        {3'600'000'000, 100.0, "1:00:00 into the log, 100%"},
        {100LL * 3'600'000'000, 100.5, "100:00:00 into the log, 100%"},
        {-5, -1.0, "0:00:00 into the log, 0%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConnectionStatus::replayPositionOf(c.micros, c.percent), c.text);
    }
}

TEST(MenuRules, ConnectItemsFollowTheAdapterStates) {
    struct Case {
        int32_t ft, serial, cloud;
        ItemState usb, cloudItem;
    };
    const Case cases[] = {
        {0, 0, 0, {true, true, false}, {true, true, false}},
        {1, 4, 2, {true, true, true}, {false, true, true}},
        {2, 2, 3, {false, true, true}, {true, true, false}},
        {4, 3, 4, {true, true, false}, {false, true, false}},
        {4, 4, 1, {false, true, false}, {true, true, true}},
    };
    for (const auto& c : cases) {
        MenuState s;
        s.ftSeriesState = c.ft;
        s.serialState = c.serial;
        s.cloudState = c.cloud;
        EXPECT_EQ(MenuRules::stateOf(command::kUsb, s), c.usb) << c.ft << c.serial;
        EXPECT_EQ(MenuRules::stateOf(command::kCloud, s), c.cloudItem) << c.cloud;
    }
    MenuState s;
    EXPECT_FALSE(MenuRules::stateOf(command::kDisconnect, s).enabled);
    EXPECT_FALSE(MenuRules::stateOf(command::kReconnect, s).enabled);
    s.currentIsNoAdapter = false;
    EXPECT_TRUE(MenuRules::stateOf(command::kDisconnect, s).enabled);
    EXPECT_TRUE(MenuRules::stateOf(command::kReconnect, s).enabled);
}

TEST(MenuRules, LogAndInterfaceItemsAreAlwaysOfferedAndCheckedWhileLinked) {
    struct Case {
        int32_t socketCan, replay;
        bool recording;
        bool socketCanChecked, replayChecked;
    };
    const Case cases[] = {
        {0, 0, false, false, false}, {1, 0, false, true, false}, {3, 1, true, false, true},
        {4, 2, false, false, true},  {2, 3, true, true, false},
    };
    for (const auto& c : cases) {
        MenuState s;
        s.socketCanState = c.socketCan;
        s.replayState = c.replay;
        s.recording = c.recording;
        EXPECT_EQ(MenuRules::stateOf(command::kSocketCan, s),
                  (ItemState{true, true, c.socketCanChecked}))
            << c.socketCan;
        EXPECT_EQ(MenuRules::stateOf(command::kReplayLog, s),
                  (ItemState{true, true, c.replayChecked}))
            << c.replay;
        EXPECT_EQ(MenuRules::stateOf(command::kRecordTraffic, s),
                  (ItemState{true, true, c.recording}));
    }
}

TEST(MenuRules, CheckMarksFollowExactValues) {
    using namespace command;
    struct Case {
        int id;
        void (*set)(MenuState&, int32_t);
        int32_t value;
        bool checked;
    };
    auto mute = [](MenuState& s, int32_t v) { s.muteMode = v; };
    auto type = [](MenuState& s, int32_t v) { s.adapterType = v; };
    auto rate = [](MenuState& s, int32_t v) { s.dataRate = v; };
    auto phantoms = [](MenuState& s, int32_t v) { s.showPhantoms = v; };
    auto legacy = [](MenuState& s, int32_t v) { s.supportLegacyDm1 = v; };
    auto autoUpdate = [](MenuState& s, int32_t v) { s.autoUpdate = v; };
    auto autoStart = [](MenuState& s, int32_t v) { s.connectOnStartup = v; };
    auto scan = [](MenuState& s, int32_t v) { s.scanNetwork = v; };
    const Case cases[] = {
        {kMuteNormal, mute, 0, true},
        {kMuteNormal, mute, 1, false},
        {kMuteHousekeepingOnly, mute, 1, true},
        {kMuteNothing, mute, 2, true},
        {kMuteToolMessagesOnly, mute, 3, true},
        {kMuteToolMessagesOnly, mute, 2, false},
        {kFtSeries, type, 1, true},
        {kVexorSeries, type, 1, false},
        {kVexorSeries, type, 2, true},
        {kRate250, rate, 2, true},
        {kRate500, rate, 1, true},
        {kRate500, rate, 2, false},
        {kShowPhantoms, phantoms, 1, true},
        {kShowPhantoms, phantoms, 5, false},
        {kSupportLegacyDm1, legacy, 1, true},
        {kSupportLegacyDm1, legacy, 5, false},
        {kAutoUpdate, autoUpdate, 5, true},
        {kAutoUpdate, autoUpdate, 0, false},
        {kConnectOnStartup, autoStart, 1, true},
        {kConnectOnStartup, autoStart, 5, false},
        {kScanNetwork, scan, 7, true},
        {kScanNetwork, scan, 0, false},
    };
    for (const auto& c : cases) {
        MenuState s;
        c.set(s, c.value);
        const ItemState got = MenuRules::stateOf(c.id, s);
        EXPECT_TRUE(got.enabled);
        EXPECT_TRUE(got.checkable);
        EXPECT_EQ(got.checked, c.checked) << c.id << " at " << c.value;
    }
    // Commands without a rule: enabled, no check mark.
    for (int id : {kExit, kQuickScript, kSendReboot, kUpdateNow, kAbout})
        EXPECT_EQ(MenuRules::stateOf(id, MenuState{}), (ItemState{true, false, false})) << id;
}

TEST(MenuRules, TogglesTurnStrayValuesTheRightWay) {
    struct Case {
        int32_t from, toggled, phantoms;
    };
    const Case cases[] = {{0, 1, 1}, {1, 0, 0}, {5, 0, 1}, {-1, 0, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(MenuRules::toggled(c.from), c.toggled) << c.from;
        EXPECT_EQ(MenuRules::toggledShowPhantoms(c.from), c.phantoms) << c.from;
    }
}

TEST(MenuTable, EveryCommandOnceWithItsCaptionAndBalancedSubmenus) {
    std::set<int> ids;
    int depth = 0;
    for (const MenuBarEntry& e : MenuTable::mainMenu()) {
        if (e.kind == MenuBarEntry::Kind::Open) ++depth;
        if (e.kind == MenuBarEntry::Kind::Close) --depth;
        ASSERT_GE(depth, 0);
        if (e.kind == MenuBarEntry::Kind::Item) {
            EXPECT_TRUE(ids.insert(e.id).second) << e.id;
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(ids.size(), 38u);  // with Traffic, Faults and Export Report...
    EXPECT_STREQ(MenuTable::captionOf(command::kRate500), "500 kbps J1939 \"Green Plug\"");
    EXPECT_STREQ(MenuTable::captionOf(command::kExit), "E&xit");
    EXPECT_STREQ(MenuTable::captionOf(command::kReconnect), "&Reconnect");
    EXPECT_STREQ(MenuTable::captionOf(command::kMuteToolMessagesOnly),
                 "Transmit Tool Messages Only");
    EXPECT_STREQ(MenuTable::captionOf(12345), "");
}

ModuleRow module(size_t index, std::string description, bool isDefault = false,
                 bool onRightClick = false) {
    ModuleRow m;
    m.index = index;
    m.description = std::move(description);
    m.isDefault = isDefault;
    m.onRightClick = onRightClick;
    return m;
}

TEST(ModuleMenus, SortingAndTheTwoSelections) {
    const std::vector<ModuleRow> fitting = {
        module(0, "tank levels", false, true), module(1, "Generator", true, false),
        module(2, "Awning", true, true), module(3, "Generator", false, true)};
    std::vector<size_t> order;
    for (const auto& m : ModuleMenus::sortedByDescription(fitting)) order.push_back(m.index);
    EXPECT_EQ(order, (std::vector<size_t>{2, 1, 3, 0}));

    order.clear();
    for (const auto& m : ModuleMenus::rightClickModules(fitting)) order.push_back(m.index);
    EXPECT_EQ(order, (std::vector<size_t>{0, 2, 3}));

    order.clear();
    for (const auto& m : ModuleMenus::defaultModules(fitting)) order.push_back(m.index);
    EXPECT_EQ(order, (std::vector<size_t>{1, 2}));
}

TEST(ModuleMenus, InformationLinesShowTheFileDateOnlyWhenKnown) {
    ModuleRow m = module(0, "Inverter Setup");
    m.file = "inv.exe";
    m.folder = "/opt/mods";
    m.parameters = "-x";
    m.definitionFile = "inv.RVC";
    const std::vector<std::string> without = {"Inverter Setup", "Filename: inv.exe",
                                              "Folder: /opt/mods", "Parameters: -x",
                                              "RVC File: inv.RVC"};
    EXPECT_EQ(ModuleMenus::informationLines(m), without);
    m.fileDate = "2024-03-01";
    auto with = without;
    with.push_back("File Date: 2024-03-01");
    EXPECT_EQ(ModuleMenus::informationLines(m), with);
}

TEST(ControlAnchor, MovesAndStretches) {
    using namespace anchor;
    struct Case {
        unsigned anchors;
        int dx, dy;
        PixelRect expected;
    };
    const PixelRect designed{10, 10, 50, 30};
    const Case cases[] = {
        {kFixed, 20, 5, {10, 10, 50, 30}},
        {kMoveRight, 20, 5, {30, 10, 70, 30}},
        {kMoveRight | kMoveDown, 20, 5, {30, 15, 70, 35}},
        {kStretchWidth | kStretchHeight, 20, 5, {10, 10, 70, 35}},
        {kMoveRight | kStretchHeight, 20, 5, {30, 10, 70, 35}},
    };
    for (const auto& c : cases) EXPECT_EQ(Anchored(designed, c.anchors, c.dx, c.dy), c.expected);
}

}  // namespace
}  // namespace corvane
