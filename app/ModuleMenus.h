#pragma once

#include <string>
#include <vector>

#include "app/ModuleRow.h"

namespace corvane {

// The Qt-free parts of the two lists' module menus and of the module list's order.
class ModuleMenus {
  public:
    // The module list's order: alphabetical by description, letter case ignored; equal
    // descriptions keep their catalogue order.
    static std::vector<ModuleRow> sortedByDescription(std::vector<ModuleRow> rows);
    // The device list's right-click menu: the fitting modules marked onRightClick, in
    // catalogue order; entry i carries command id 9000 + i.
    static std::vector<ModuleRow> rightClickModules(const std::vector<ModuleRow>& fitting);
    // What a double-click on a device runs: the fitting modules marked isDefault.
    static std::vector<ModuleRow> defaultModules(const std::vector<ModuleRow>& fitting);
    // The information lines of the module list's right-click menu; the file date only when
    // known.
    //   {description, "Filename: f", "Folder: d", "Parameters: p", "RVC File: r"[, "File Date: x"]}
    static std::vector<std::string> informationLines(const ModuleRow& module);
};

}  // namespace corvane
