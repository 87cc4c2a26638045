#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

// The buttons of the script window whose states the interpreter sets.
enum class ScriptButton { Continue, Retry, Abort, Close, RunAgain };

// One choice of the MENU dialog: the token added to PARAMS and the text shown for it.
struct MenuEntry {
    std::string token;
    std::string display;
};

// Everything the script engine asks of its window. The engine never knows which toolkit (if
// any) draws it: the Qt window, the headless runner and tests each implement this. Called on
// the thread that runs the script.
class ScriptWindow {
  public:
    virtual ~ScriptWindow() = default;

    // The log: AppendText continues the open line; AppendLine also finishes it.
    virtual void AppendText(std::string_view text) = 0;
    virtual void AppendLine(std::string_view text) = 0;
    // Empties the log, leaving one empty open line.
    virtual void ClearLog() = 0;
    // Saves every log line to `path`; false when the file could not be written.
    virtual bool SaveLog(const std::string& path) = 0;
    virtual void ShowSaveLogDialog() = 0;

    virtual void SetStatus(std::string_view text) = 0;
    virtual void EnableButton(ScriptButton button, bool enabled) = 0;
    virtual void ShowTarget(uint8_t target) = 0;
    // The variable list is drawn again in full at the next refresh.
    virtual void RedrawAll() = 0;

    // Modal dialogs: the entered parameters / the chosen token, or nothing when cancelled.
    virtual std::optional<std::string> AskForParams(std::string_view current) = 0;
    virtual std::optional<std::string> ChooseMenuToken(std::span<const MenuEntry> entries) = 0;

    // The strip chart: opened with a size, one line per slot (0-7), advanced with one
    // position (0-100) per line.
    virtual void StartGraph(int width, int height) = 0;
    virtual void AddGraphLine(int slot) = 0;
    virtual void AdvanceGraph(std::span<const int> positions) = 0;
};

}  // namespace corvane
