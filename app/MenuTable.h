#pragma once

#include <vector>

namespace corvane {

// The main window's menu bar as data, in menu order: a submenu opens with Open and closes
// with Close; Item at the top level is an item of the bar itself. "&" marks the access key.
struct MenuBarEntry {
    enum class Kind { Open, Close, Item, Separator };
    Kind kind;
    const char* caption = "";
    int id = 0;
};

class MenuTable {
  public:
    static const std::vector<MenuBarEntry>& mainMenu();
    // The caption of a command id; empty for an unknown id.
    static const char* captionOf(int id);
};

}  // namespace corvane
