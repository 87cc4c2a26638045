#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/DeviceTable.h"
#include "modules/GrepSearch.h"
#include "modules/Module.h"
#include "modules/WildcardEquals.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

TEST(WildcardEqualsTest, Table) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    } cases[] = {
        {"A?C", "ABC", true},  {"A?C", "A?C", true}, {"A?C", "ABCD", false},
        {"A?C", "abc", false}, {"", "", true},       {"", "x", false},
        {"A*", "ABC", false},  {"A*", "A*", true},   {"???", "xyz", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WildcardEquals(c.pattern, c.text), c.match) << c.pattern << " " << c.text;
    }
}

TEST(GrepSearchTest, Table) {
    const std::string make = "Tindrel Electronics,Inc.";
    struct Case {
        const char* pattern;
        std::string text;
        bool match;
    } cases[] = {
        {"^Tin", make, true},
        {"rel", make, true},
        {"Tin+", make, false},  // "+" is an ordinary character
        {"Tin+", "Tin+", true},
        {"^Inc", make, false},
        {"Inc\\.$", make, true},
        {"T.n", make, true},
        {"Tx*in", make, true},
        {"\\(Tin\\)\\{1\\}", make, true},
        {"[Tt]indrel", make, true},
        {"a|b", "a", false},  // "|" is ordinary too
        {"a|b", "xa|by", true},
        {"tin", make, false},  // case-sensitive
        {"Not", "Not Found", true},
        {"[", make, false},  // invalid: no match, no exception
        {"\\(", make, false},
        {"a\\{2,1\\}", "aa", false},
        {"", make, true},
        // Repeat counts: up to 255 as POSIX promises; larger ones, which the library would
        // overflow on, are invalid.
        {"^T\\{1,255\\}", make, true},
        {"i\\{255\\}", std::string(255, 'i'), true},
        {"i\\{256\\}", make, false},
        {"^-9]\\{555555555555555555555555555555555\\}", "-9]", false},
        {"T\\{1,99999999999999999999\\}", make, false},
        {"\\\\{9999}", "\\{9999}", true},  // an escaped backslash, then ordinary text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GrepSearch(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
    }
}

RVCNode nodeOf(std::string make, std::string model = "M", std::string sn = "S",
               std::string id = "I") {
    RVCNode n;
    n.address = 0x42;
    n.make = std::move(make);
    n.model = std::move(model);
    n.serialNumber = std::move(sn);
    n.idNumber = std::move(id);
    return n;
}

std::unique_ptr<Module> moduleOf(const std::string& definition) {
    auto m = std::make_unique<Module>();
    m->apply(ParseModuleDefinition(definition, "/m/def.RVC"));
    return m;
}

TEST(IsApplicableTest, CategoriesCombine) {
    const RVCDevice device{.dsa = 66, .sa = 0x42};
    const std::string where = "address=42h\ndefaddress=66\n";
    struct Case {
        std::string tests;
        RVCNode node;
        bool fits;
    } cases[] = {
        {"", nodeOf("X"), true},
        {"make=X\nmake=Y\n", nodeOf("X"), true},
        {"make=X\nmake=Y\n", nodeOf("Y"), true},
        {"make=X\nmake=Y\n", nodeOf("Z"), false},
        {"make=X\nmake=Y\nmodel=Z\n", nodeOf("Y", "Z"), true},
        {"make=X\nmake=Y\nmodel=Z\n", nodeOf("Y", "W"), false},
        {"make=X\nmakegrep=^Y\n", nodeOf("Yes"), true},  // result 3 fits
        {"sn=S\nid=I\n", nodeOf("A"), true},
        {"sn=S\nid=J\n", nodeOf("A"), false},
        {"snGrep=^S$\nidgrep=[\n", nodeOf("A"), false},  // invalid pattern never matches
        {"modelgrep=eat\n", nodeOf("ACME", "Heater 5"), true},
        {"make=ACME\nmodel=Heater ?\n", nodeOf("ACME", "Heater 5"), true},
    };
    for (const auto& c : cases) {
        auto m = moduleOf(where + c.tests);
        EXPECT_EQ(m->isApplicable(device, c.node), c.fits) << c.tests;
    }
    auto m = moduleOf(where + "make=X\nmakegrep=^Y\nmodel=M\nsn=Q\n");
    m->isApplicable(device, nodeOf("Yes"));
    EXPECT_EQ(m->results, (std::array<int32_t, 4>{3, 2, 1, 0}));
}

TEST(IsApplicableTest, AddressesAndDsaGateEverything) {
    auto m = moduleOf("address=42h\ndefaddress=66\n");
    EXPECT_TRUE(m->isApplicable(RVCDevice{.dsa = 66, .sa = 0x42}, nodeOf("X")));
    EXPECT_FALSE(m->isApplicable(RVCDevice{.dsa = 66, .sa = 0x43}, nodeOf("X")));
    EXPECT_FALSE(m->isApplicable(RVCDevice{.dsa = 67, .sa = 0x42}, nodeOf("X")));
    auto none = moduleOf("file=tool.exe\n");  // neither addresses nor DSAs: fits nothing
    EXPECT_FALSE(none->isApplicable(RVCDevice{.dsa = 0, .sa = 0}, nodeOf("X")));
}

TEST(IsApplicableTest, AgainstTheDeviceTable) {
    test::FakeClock clock;
    DeviceTable table(clock);
    table.addToolEntries();
    const RVCDevice tool{.dsa = 0xF9, .sa = 0xF9};
    const RVCDevice silent{.dsa = 88, .sa = 0x58};  // never sent a PRODUCT_ID

    EXPECT_TRUE(moduleOf("address=249\ndefaddress=249\nmake=Tindrel Electronics,Inc.\n")
                    ->isApplicable(tool, table));
    EXPECT_FALSE(moduleOf("address=248\ndefaddress=249\nmake=Tindrel Electronics,Inc.\n")
                     ->isApplicable(tool, table));
    EXPECT_FALSE(moduleOf("address=249\ndefaddress=1\nmake=Tindrel Electronics,Inc.\n")
                     ->isApplicable(tool, table));

    const std::string at58 = "address=58h\ndefaddress=88\n";
    EXPECT_TRUE(moduleOf(at58 + "makegrep=Not\n")->isApplicable(silent, table));
    EXPECT_TRUE(moduleOf(at58 + "model=Not Found\n")->isApplicable(silent, table));
    EXPECT_FALSE(moduleOf(at58 + "make=\n")->isApplicable(silent, table));
}

}  // namespace
}  // namespace corvane
