#include "script/HelpTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

std::vector<std::string> Keywords(std::string_view line) {
    std::vector<std::string> found;
    for (const HelpEntry* entry : HelpTable::Matching(line)) found.emplace_back(entry->keyword);
    return found;
}

TEST(HelpTableTest, HoldsSixtyNineEntriesInOrder) {
    const auto entries = HelpTable::Entries();
    ASSERT_EQ(entries.size(), 69u);
    const std::vector<std::pair<size_t, std::string_view>> at = {
        {0, "CMD"},        {1, "ABORT"},     {9, "DICTIONARY"},  {25, "ONESHOTGO"}, {26, "ONESHOT"},
        {27, "ONEVENTGO"}, {28, "ONEVENT"},  {43, "UPDATEMAX"},  {47, "UPDATE"},    {51, "ZERO"},
        {52, "DATETIME"},  {57, "[TARGET]"}, {59, "TARGETMAKE"}, {63, "TARGET"},    {64, "TIMER"},
        {65, "IF"},        {66, "MAKE"},     {67, "SETCURTIME"}, {68, "SEND"},
    };
    for (const auto& [index, keyword] : at) EXPECT_EQ(entries[index].keyword, keyword) << index;
}

TEST(HelpTableTest, TextsKeepTheirLineBreakPairsAsWritten) {
    const auto entries = HelpTable::Entries();
    EXPECT_EQ(entries[0].text, "CMD hdgn h1 h2 ....\n\rSame as SEND.  Sends indicated message.");
    EXPECT_EQ(entries[9].text,
              "DICTIONARY filename\r\nReads a script file, which must be limited to DEFINE, "
              "BUTTON, and MONITOR commands.");
    EXPECT_EQ(entries[20].text, "INCREMENT variable");
    // FORMAT mixes both pairs.
    const std::string_view format = entries[13].text;
    EXPECT_EQ(format.substr(0, 43), "FORMAT variable \"format\"\r\nSets a variable t");
    EXPECT_NE(format.find("\"%6.1f\"\n\rUse ## notation"), std::string_view::npos);
    EXPECT_EQ(entries[26].text.substr(0, 29), "ONESHOT   [dsecs] {command}\n\r");
    EXPECT_EQ(entries[38].text, "SETPARAMS token1 token2 ...\n\r Sets the PARAMS variable.");
    EXPECT_EQ(entries[68].text,
              "SEND hdgn h1 h2 h3 h4 ... \n\rSends the indicated message.  Long messages are "
              "automatically handled by Corvane.");
}

TEST(HelpTableTest, LinesFindEveryContainedKeywordInListOrder) {
    struct Case {
        std::string line;
        std::vector<std::string> keywords;
    };
    const std::vector<Case> cases = {
        {"UPDATEMEAN X", {"UPDATEMEAN", "UPDATE"}},
        {"ONEVENTGO E [A == 1] {GOTO X}", {"GOTO", "ONEVENTGO", "ONEVENT"}},
        {"\"[TARGETMAKE]", {"TARGETMAKE", "TARGET", "MAKE"}},
        {"\"[TARGET]", {"[TARGET]", "TARGET"}},
        {"SEND 1FFFE 00", {"SEND"}},
        {"CMD 1FFFE 00", {"CMD"}},
        {"", {}},
        {"HELLO", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Keywords(c.line), c.keywords) << c.line;
}

TEST(HelpTableTest, VeryLongLinesAreExaminedWhole) {
    const std::string line = std::string(5000, 'X') + " SEND";
    EXPECT_EQ(Keywords(line), std::vector<std::string>{"SEND"});
}

std::string_view TemplateOf(std::string_view submenu, std::string_view item) {
    for (const InsertItem& entry : HelpTable::InsertItems()) {
        if (entry.submenu == submenu && entry.item == item) return entry.templateText;
    }
    return "<missing>";
}

TEST(HelpTableTest, InsertTemplatesKeepTheirTrailingBlanks) {
    struct Case {
        std::string_view submenu, item, text;
    };
    const std::vector<Case> cases = {
        {"RVC Basics", "CMD", "CMD hdgn h1 h2 h3 h4 ... "},
        {"RVC Basics", "SEND", "SEND hdgn h1 h2 h3 h4 ... "},
        {"Program Flow", "MAKE .. BYSENDING", "MAKE [variable == value] BYSENDING hdgn h1 h2 ... "},
        {"Logging Commands", "MENU", "MENU token \"displaystring\" token \"displaystring\" ... "},
        {"RVC Basics", "SIMRX", "SIMRX haddr hdgn h1 h2 h3 h4 ...."},
        {"Event Commands", "ONESHOT", "ONESHOT   [dsecs] {command}"},
        {"Event Commands", "ONEVENTGO",
         "ONEVENTGO eventname [tag == value] {GOTO executionpoint} SUSPENDED"},
        {"Logging Commands", "Log Text", "\n\r\""},
        {"Logging Commands", "Status Text", "\n\r'"},
        {"Targeting Commands", "TARGET address", ""},
        {"Program Flow", "@executionPoint", ""},
        {"Special Variables", "TARGET", "[TARGET]"},
    };
    for (const Case& c : cases) EXPECT_EQ(TemplateOf(c.submenu, c.item), c.text) << c.item;
}

TEST(HelpTableTest, InsertMenuKeepsItsSubmenusInOrder) {
    std::vector<std::string_view> submenus;
    size_t items = 0;
    for (const InsertItem& entry : HelpTable::InsertItems()) {
        ++items;
        if (submenus.empty() || submenus.back() != entry.submenu) submenus.push_back(entry.submenu);
    }
    EXPECT_EQ(items, 75u);
    EXPECT_EQ(submenus,
              (std::vector<std::string_view>{
                  "Math Commands", "Graphing Commands", "Event Commands", "Parameter Commands",
                  "Targeting Commands", "Logging Commands", "Parsing Commands", "Program Flow",
                  "Counter Commands", "RVC Basics", "Special Variables"}));
}

}  // namespace
}  // namespace corvane
