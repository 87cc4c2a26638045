#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "script/ScriptWindow.h"

namespace corvane {

// The script window of the headless runner: log lines to `out` as they are finished, status
// changes and errors to `err`. The two dialogs and PAUSE are answered from the descriptor `in`
// when it is a terminal, otherwise at once with their defaults (the parameters unchanged, the
// menu's first entry, Continue). An answer is waited for no later than the deadline, if one is
// set; past it the dialog counts as cancelled. Used on the one thread that runs the script.
class ConsoleScriptWindow final : public ScriptWindow {
  public:
    using Deadline = std::chrono::steady_clock::time_point;

    ConsoleScriptWindow(std::FILE* out, std::FILE* err, int in);

    void AppendText(std::string_view text) override;
    void AppendLine(std::string_view text) override;
    void ClearLog() override;
    // Errors that keep the file from being written whole are reported on `err`.
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

    void SetDeadline(std::optional<Deadline> deadline) { deadline_ = deadline; }
    // Called before anything is written to `err`: a progress bar on the same terminal is wiped
    // first, so that the line stands on its own. Empty: nothing is called.
    void SetBeforeError(std::function<void()> hook) { beforeError_ = std::move(hook); }
    // Asked at every step while the script is paused: true when it should go on now. On a
    // terminal that is once a line was typed (the prompt is shown the first time); never waits.
    bool ContinueFromPause();

    const std::string& status() const { return status_; }

  private:
    // The next line typed, waiting no later than `until`; nothing at end of input, on an error
    // or when the time is up.
    std::optional<std::string> ReadAnswer(Deadline until);
    std::optional<std::string> ReadAnswer();
    // `err`, once the hook has run.
    std::FILE* Err();

    std::FILE* out_;
    std::FILE* err_;
    int in_;
    bool interactive_;
    std::optional<Deadline> deadline_;
    std::function<void()> beforeError_;
    std::string typed_;  // bytes read past the last answer
    bool pausePrompted_ = false;
    std::string open_;
    std::vector<std::string> lines_;  // what SAVE writes
    std::string status_;
};

}  // namespace corvane
