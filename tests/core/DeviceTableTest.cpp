#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/ProductId.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

RvcMessage textMessage(uint32_t dgn, uint8_t sa, const std::string& text) {
    return *makeMessage(dgn, sa,
                        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

RvcMessage status(uint32_t dgn, uint8_t sa, uint8_t statusByte, uint8_t dsa) {
    const uint8_t data[8] = {statusByte, dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return *makeMessage(dgn, sa, data);
}

TEST(ProductId, FieldRulesForNewAndRefreshedNodes) {
    struct Case {
        const char* text;
        bool newNode;
        ProductId expected;
    };
    const Case cases[] = {
        {"ACME*Heater 5*SN123*7*", true, {"ACME", "Heater 5", "SN123", "7"}},
        {"ACME*Heater 5*SN123*7*", false, {"ACME", "Heater 5", "SN123", "7"}},
        {"A*B*C*D", true, {"A", "B", "C", "D"}},
        {"A*B*C*D", false, {"A", "B", "C", ""}},
        {"no stars", true, {"", "", "", "no stars"}},
        {"no stars", false, {"", "", "", ""}},
        {"", true, {"", "", "", ""}},
        {"A**", true, {"A", "", "", ""}},
        {"****", true, {"", "", "", ""}},
        {"A*B*C*D*E*", true, {"A", "B", "C", "D"}},
    };
    for (const auto& c : cases) {
        ProductId id = parseProductId(c.text, c.newNode);
        EXPECT_EQ(id.make, c.expected.make) << c.text;
        EXPECT_EQ(id.model, c.expected.model) << c.text;
        EXPECT_EQ(id.serialNumber, c.expected.serialNumber) << c.text;
        EXPECT_EQ(id.idNumber, c.expected.idNumber) << c.text << " new=" << c.newNode;
    }
}

class DeviceTableTest : public ::testing::Test {
  protected:
    test::FakeClock clock;
    DeviceTable table{clock};
};

TEST_F(DeviceTableTest, ProductIdCreatesThenRefreshes) {
    table.update(textMessage(dgn::kProductId, 0x65, "ACME*Heater 5*SN123*7*"));
    auto node = table.findNode(0x65);
    EXPECT_EQ(node.address, 0x65);
    EXPECT_EQ(node.make, "ACME");
    EXPECT_EQ(node.model, "Heater 5");
    EXPECT_EQ(node.serialNumber, "SN123");
    EXPECT_EQ(node.idNumber, "7");
    const int64_t first = node.updated;
    clock.advanceSeconds(3);
    table.update(textMessage(dgn::kProductId, 0x65, "ACME*Heater 5*SN123*7*"));
    ASSERT_EQ(table.nodes().size(), 1u);
    EXPECT_EQ(table.findNode(0x65).updated, first + 3);
    EXPECT_FALSE(table.changed());  // nodes alone never change the device list

    table.update(textMessage(dgn::kProductId, 0x66, "A*B*C*D"));
    EXPECT_EQ(table.findNode(0x66).idNumber, "D");
    table.update(textMessage(dgn::kProductId, 0x66, "A*B*C*D"));
    EXPECT_EQ(table.findNode(0x66).idNumber, "");
}

TEST_F(DeviceTableTest, ProductIdFromGlobalAddressAlwaysAdds) {
    table.update(textMessage(dgn::kProductId, 0xFF, "X*Y*Z*1*"));
    table.update(textMessage(dgn::kProductId, 0xFF, "X*Y*Z*1*"));
    EXPECT_EQ(table.nodes().size(), 2u);
}

TEST_F(DeviceTableTest, PlaceholderWhenNotFound) {
    auto node = table.findNode(0x40);
    EXPECT_EQ(node.address, 0xFF);
    EXPECT_EQ(node.make, "Not Found");
    EXPECT_EQ(node.model, "Not Found");
    EXPECT_EQ(node.serialNumber, "Not Found");
    EXPECT_EQ(node.idNumber, "Not Found");
}

TEST_F(DeviceTableTest, DevicesKeyedBySourceAndDsa) {
    table.update(status(dgn::kDmRv, 0x40, 0x05, 0x58));
    EXPECT_TRUE(table.takeChanged());
    table.update(status(dgn::kDmRv, 0x40, 0x05, 0x59));
    EXPECT_TRUE(table.takeChanged());
    ASSERT_EQ(table.devices().size(), 2u);

    // DM1 with the same pair refreshes the same device while legacy DM1s are supported.
    table.update(status(dgn::kDm1, 0x40, 0x45, 0x58));
    ASSERT_EQ(table.devices().size(), 2u);
    EXPECT_EQ(table.devices()[0].status, 0x45);
    EXPECT_EQ(table.devices()[0].statusChanged, 1);
    EXPECT_FALSE(table.takeChanged());  // a status change alone is a row redraw, not a rebuild
    table.clearStatusChanged(0x40, 0x58);
    EXPECT_EQ(table.devices()[0].statusChanged, 0);

    table.setSupportLegacyDM1(false);
    table.update(status(dgn::kDm1, 0x41, 0x05, 0x58));
    EXPECT_EQ(table.devices().size(), 2u);
    EXPECT_FALSE(table.changed());

    // Other DGNs are ignored.
    table.update(status(0x1FFF7, 0x42, 0x05, 0x58));
    EXPECT_EQ(table.devices().size(), 2u);
}

TEST_F(DeviceTableTest, FaultBytesAreKeptAndANewFaultIsAChange) {
    const uint8_t first[8] = {0x45, 0x65, 0x9C, 0x00, 0x03, 0x01, 0xFF, 0xFF};
    table.update(*makeMessage(dgn::kDmRv, 0x40, first));
    ASSERT_EQ(table.devices().size(), 1u);
    EXPECT_EQ(table.devices()[0].fault,
              (std::array<uint8_t, 6>{0x9C, 0x00, 0x03, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(table.devices()[0].statusChanged, 0);

    // Same lamps, another fault: the Details box must follow.
    const uint8_t second[8] = {0x45, 0x65, 0x9C, 0x00, 0x04, 0x02, 0xFF, 0xFF};
    table.update(*makeMessage(dgn::kDmRv, 0x40, second));
    EXPECT_EQ(table.devices()[0].fault[2], 0x04);
    EXPECT_EQ(table.devices()[0].statusChanged, 1);
    table.clearStatusChanged(0x40, 0x65);
    table.update(*makeMessage(dgn::kDmRv, 0x40, second));
    EXPECT_EQ(table.devices()[0].statusChanged, 0);
}

TEST_F(DeviceTableTest, ShortDiagnosticMessageReadsNotAvailable) {
    const uint8_t one[1] = {0x05};
    table.update(*makeMessage(dgn::kDmRv, 0x40, one));
    ASSERT_EQ(table.devices().size(), 1u);
    EXPECT_EQ(table.devices()[0].dsa, 0xFF);
    EXPECT_EQ(table.devices()[0].fault[0], 0xFF);
}

TEST_F(DeviceTableTest, IdentifiedFollowsNodesAndShowPhantoms) {
    table.update(status(dgn::kDmRv, 0x40, 0x05, 0x58));
    ASSERT_EQ(table.devices()[0].identified, 0);
    table.takeChanged();

    table.update(textMessage(dgn::kProductId, 0x40, "M*N*S*I*"));
    EXPECT_EQ(table.devices()[0].identified, 0);
    table.update(status(dgn::kDmRv, 0x40, 0x05, 0x58));
    EXPECT_EQ(table.devices()[0].identified, 1);
    EXPECT_TRUE(table.takeChanged());

    // ShowPhantoms counts on a refresh, but not on creation.
    table.setShowPhantoms(true);
    table.update(status(dgn::kDmRv, 0x50, 0x05, 0x58));
    auto devices = table.devices();
    EXPECT_EQ(devices[1].identified, 0);
    table.update(status(dgn::kDmRv, 0x50, 0x05, 0x58));
    EXPECT_EQ(table.devices()[1].identified, 1);

    // Aging recomputes without ShowPhantoms.
    table.takeChanged();
    table.age();
    EXPECT_EQ(table.devices()[1].identified, 0);
    EXPECT_TRUE(table.takeChanged());
}

TEST_F(DeviceTableTest, AgingAtTheBoundaries) {
    table.addToolEntries();
    table.update(textMessage(dgn::kProductId, 0x40, "M*N*S*I*"));
    table.update(status(dgn::kDmRv, 0x40, 0x05, 0x58));
    // The tool's status goes in before its PRODUCT_ID: the first pass marks it identified.
    EXPECT_EQ(table.devices()[0].identified, 0);
    table.age();
    EXPECT_EQ(table.devices()[0].identified, 1);
    table.takeChanged();

    clock.advanceSeconds(15);
    table.age();
    EXPECT_EQ(table.devices().size(), 2u);
    EXPECT_FALSE(table.takeChanged());
    clock.advanceSeconds(1);
    table.age();
    ASSERT_EQ(table.devices().size(), 1u);
    EXPECT_EQ(table.devices()[0].sa, 0xF9);
    EXPECT_TRUE(table.takeChanged());

    clock.advanceSeconds(44);  // node 60 s old
    table.age();
    EXPECT_EQ(table.findNode(0x40).address, 0x40);
    clock.advanceSeconds(1);
    table.age();
    EXPECT_EQ(table.findNode(0x40).address, 0xFF);
    EXPECT_EQ(table.findNode(0xF9).address, 0xF9);  // the tool never ages out
    EXPECT_FALSE(table.takeChanged());              // removing nodes alone changes nothing shown
}

TEST_F(DeviceTableTest, ClearThenToolEntries) {
    table.update(status(dgn::kDmRv, 0x40, 0x05, 0x58));
    table.clear();
    EXPECT_TRUE(table.takeChanged());
    EXPECT_TRUE(table.devices().empty());
    table.addToolEntries();
    auto tool = table.findNode(0xF9);
    EXPECT_EQ(tool.make, "Tindrel Electronics,Inc.");
    EXPECT_EQ(tool.model, "Service Tool");
    EXPECT_EQ(tool.serialNumber, "");
    EXPECT_EQ(tool.idNumber, "");
    auto devices = table.devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].sa, 0xF9);
    EXPECT_EQ(devices[0].dsa, 0xF9);
    EXPECT_EQ(devices[0].status, 0xF5);
}

}  // namespace
}  // namespace corvane
