#pragma once

#include <cstdint>
#include <string>

#include "script/ui/ScriptServices.h"

class QWidget;

namespace corvane {

class ScriptDlg;

// Starts a script in the script window and shows it. Only one script runs at a time: while a
// script window exists this shows "Only one Script can be running at a time." and returns
// null. Leading '*' characters of the path are dropped. `parent` (the main window) also owns
// the graph windows, so they close with it.
ScriptDlg* OpenScriptWindow(const ScriptServices& services, const std::string& path,
                            const std::string& params, uint8_t target, QWidget* parent = nullptr);

}  // namespace corvane
