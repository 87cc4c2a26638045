#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptWindow.h"

namespace corvane::test {

// The script window reduced to what tests look at: log lines, the status, buttons, the target
// box, redraw requests, the graph, and scripted answers for the two dialogs.
class RecordingWindow final : public ScriptWindow {
  public:
    void AppendText(std::string_view text) override { open += text; }
    void AppendLine(std::string_view text) override {
        open += text;
        log.push_back(open);
        open.clear();
    }
    void ClearLog() override {
        log.clear();
        open.clear();
    }
    bool SaveLog(const std::string& path) override {
        savedTo = path;
        return false;
    }
    void ShowSaveLogDialog() override { savedTo = "<dialog>"; }
    void SetStatus(std::string_view text) override { status = text; }
    void EnableButton(ScriptButton button, bool enabled) override { buttons[button] = enabled; }
    void ShowTarget(uint8_t shown) override { target = shown; }
    void RedrawAll() override { ++redraws; }
    std::optional<std::string> AskForParams(std::string_view current) override {
        askedWith = current;
        return paramsAnswer;
    }
    std::optional<std::string> ChooseMenuToken(std::span<const MenuEntry> entries) override {
        menu.assign(entries.begin(), entries.end());
        return menuAnswer;
    }
    void StartGraph(int width, int height) override { graph.push_back(width * 10000 + height); }
    void AddGraphLine(int slot) override { graphLines.push_back(slot); }
    void AdvanceGraph(std::span<const int> positions) override {
        advances.emplace_back(positions.begin(), positions.end());
    }

    bool enabled(ScriptButton button) const {
        auto it = buttons.find(button);
        return it != buttons.end() && it->second;
    }

    std::vector<std::string> log;
    std::string open;
    std::string status;
    std::map<ScriptButton, bool> buttons;
    int target = -1;
    int redraws = 0;
    std::string savedTo;
    std::string askedWith;
    std::optional<std::string> paramsAnswer;
    std::vector<MenuEntry> menu;
    std::optional<std::string> menuAnswer;
    std::vector<int> graph;
    std::vector<int> graphLines;
    std::vector<std::vector<int>> advances;
};

}  // namespace corvane::test
