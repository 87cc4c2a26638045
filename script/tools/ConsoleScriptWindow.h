#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "script/ScriptWindow.h"

namespace corvane {

// The script window of the headless runner: log lines to `out` as they are finished, status
// changes to `err`, and the two dialogs answered from standard input when it is a terminal,
// otherwise with their defaults (the parameters unchanged, the menu's first entry).
class ConsoleScriptWindow final : public ScriptWindow {
  public:
    ConsoleScriptWindow(std::FILE* out, std::FILE* err, bool interactive)
        : out_(out), err_(err), interactive_(interactive) {}

    void AppendText(std::string_view text) override;
    void AppendLine(std::string_view text) override;
    void ClearLog() override;
    bool SaveLog(const std::string& path) override;
    void ShowSaveLogDialog() override {}
    void SetStatus(std::string_view text) override;
    void EnableButton(ScriptButton, bool) override {}
    void ShowTarget(uint8_t) override {}
    void RedrawAll() override {}
    std::optional<std::string> AskForParams(std::string_view current) override;
    std::optional<std::string> ChooseMenuToken(std::span<const MenuEntry> entries) override;
    void StartGraph(int, int) override {}
    void AddGraphLine(int) override {}
    void AdvanceGraph(std::span<const int>) override {}

    const std::string& status() const { return status_; }

  private:
    std::optional<std::string> ReadAnswer();

    std::FILE* out_;
    std::FILE* err_;
    bool interactive_;
    std::string open_;
    std::vector<std::string> lines_;  // what SAVE writes
    std::string status_;
};

}  // namespace corvane
