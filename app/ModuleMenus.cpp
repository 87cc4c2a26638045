#include "app/ModuleMenus.h"

#include <algorithm>
#include <cctype>

namespace corvane {

namespace {

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
}

}  // namespace

std::vector<ModuleRow> ModuleMenus::sortedByDescription(std::vector<ModuleRow> rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const ModuleRow& a, const ModuleRow& b) {
        return lessIgnoringCase(a.description, b.description);
    });
    return rows;
}

std::vector<ModuleRow> ModuleMenus::rightClickModules(const std::vector<ModuleRow>& fitting) {
    std::vector<ModuleRow> out;
    std::copy_if(fitting.begin(), fitting.end(), std::back_inserter(out),
                 [](const ModuleRow& m) { return m.onRightClick; });
    return out;
}

std::vector<ModuleRow> ModuleMenus::defaultModules(const std::vector<ModuleRow>& fitting) {
    std::vector<ModuleRow> out;
    std::copy_if(fitting.begin(), fitting.end(), std::back_inserter(out),
                 [](const ModuleRow& m) { return m.isDefault; });
    return out;
}

std::vector<std::string> ModuleMenus::informationLines(const ModuleRow& m) {
    std::vector<std::string> lines = {m.description, "Filename: " + m.file, "Folder: " + m.folder,
                                      "Parameters: " + m.parameters,
                                      "RVC File: " + m.definitionFile};
    if (!m.fileDate.empty()) lines.push_back("File Date: " + m.fileDate);
    return lines;
}

}  // namespace corvane
