#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace corvane {

// One command's help: the upper-case word looked for in a line, and the text shown for it.
struct HelpEntry {
    std::string_view keyword;
    std::string_view text;
};

// One item of the Quick Script window's Insert menu. An empty template inserts nothing.
struct InsertItem {
    std::string_view submenu;
    std::string_view item;
    std::string_view templateText;
};

// The command help of the Quick Script window: the help entries in their fixed order and the
// Insert menu's templates, submenu by submenu in menu order.
class HelpTable {
  public:
    static std::span<const HelpEntry> Entries();
    static std::span<const InsertItem> InsertItems();
    // Every entry whose keyword occurs in `upperLine`, in list order. A plain substring test,
    // so UPDATEMEAN also finds UPDATE; lines of any length are examined whole.
    static std::vector<const HelpEntry*> Matching(std::string_view upperLine);
};

}  // namespace corvane
