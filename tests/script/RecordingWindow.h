#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptWindow.h"

namespace corvane::test {

// The script window reduced to what tests look at: log lines, the status and redraw requests.
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
    bool SaveLog(const std::string&) override { return false; }
    void ShowSaveLogDialog() override {}
    void SetStatus(std::string_view text) override { status = text; }
    void EnableButton(ScriptButton, bool) override {}
    void ShowTarget(uint8_t) override {}
    void RedrawAll() override { ++redraws; }
    std::optional<std::string> AskForParams(std::string_view) override { return std::nullopt; }
    std::optional<std::string> ChooseMenuToken(std::span<const MenuEntry>) override {
        return std::nullopt;
    }
    void StartGraph(int, int) override {}
    void AddGraphLine(int) override {}
    void AdvanceGraph(std::span<const int>) override {}

    std::vector<std::string> log;
    std::string open;
    std::string status;
    int redraws = 0;
};

}  // namespace corvane::test
