#include "script/tools/ConsoleScriptWindow.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/FileReplacement.h"

namespace corvane {

ConsoleScriptWindow::ConsoleScriptWindow(std::FILE* out, std::FILE* err, int in)
    : out_(out), err_(err), in_(in), interactive_(isatty(in) != 0) {}

std::FILE* ConsoleScriptWindow::Err() {
    if (beforeError_) beforeError_();
    return err_;
}

void ConsoleScriptWindow::AppendText(std::string_view text) { open_ += text; }

void ConsoleScriptWindow::AppendLine(std::string_view text) {
    open_ += text;
    std::fprintf(out_, "%s\n", open_.c_str());
    std::fflush(out_);
    lines_.push_back(std::move(open_));
    open_.clear();
}

void ConsoleScriptWindow::ClearLog() {
    lines_.clear();
    open_.clear();
}

bool ConsoleScriptWindow::SaveLog(const std::string& path) {
    // As the window does: a save that fails half way leaves an earlier file as it was.
    FileReplacement file(path);
    if (!file.opened()) {
        std::fprintf(Err(), "Error: Error Trying to Initialize File (%s)\n", path.c_str());
        std::fflush(err_);
        return false;
    }
    SetStatus("Saving " + path);
    for (const auto& line : lines_) file.stream() << line << "\r\n";
    if (!file.commit()) {
        std::fprintf(Err(), "Error: Error Trying to Write File (%s)\n", path.c_str());
        SetStatus("Not Saved");
        return false;
    }
    SetStatus("Saved");
    return true;
}

void ConsoleScriptWindow::SetStatus(std::string_view text) {
    status_ = std::string(text);
    std::fprintf(Err(), "status: %s\n", status_.c_str());
    std::fflush(err_);
}

std::optional<std::string> ConsoleScriptWindow::ReadAnswer(Deadline until) {
    for (;;) {
        // A terminal without line editing ends a line with CR.
        if (const size_t end = typed_.find_first_of("\r\n"); end != std::string::npos) {
            std::string answer = typed_.substr(0, end);
            const bool crLf = typed_.compare(end, 2, "\r\n") == 0;
            typed_.erase(0, end + (crLf ? 2 : 1));
            return answer;
        }
        // In slices of at most a second, so that no deadline overflows poll's time-out.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd input{in_, POLLIN, 0};
        const int ready =
            poll(&input, 1, static_cast<int>(std::clamp<int64_t>(left.count(), 0, 1000)));
        if (ready < 0 && errno != EINTR) return std::nullopt;
        if (ready <= 0) {
            if (std::chrono::steady_clock::now() >= until) return std::nullopt;
            continue;
        }
        char buffer[256];
        const ssize_t got = read(in_, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return std::nullopt;  // end of input, or it failed
        typed_.append(buffer, static_cast<size_t>(got));
    }
}

std::optional<std::string> ConsoleScriptWindow::ReadAnswer() {
    // Without a deadline a person may take as long as they like.
    auto answer = ReadAnswer(deadline_.value_or(Deadline::max()));
    if (!answer) {
        std::fprintf(Err(), "\n");
        std::fflush(err_);
    }
    return answer;
}

std::optional<std::string> ConsoleScriptWindow::AskForParams(std::string_view current) {
    if (!interactive_) return std::string(current);
    std::fprintf(Err(), "Parameters [%.*s]: ", static_cast<int>(current.size()), current.data());
    std::fflush(err_);
    auto answer = ReadAnswer();
    if (answer && answer->empty()) return std::string(current);
    return answer;
}

std::optional<std::string> ConsoleScriptWindow::ChooseMenuToken(
    std::span<const MenuEntry> entries) {
    if (entries.empty()) return std::nullopt;
    if (!interactive_) return entries.front().token;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::fprintf(Err(), "%zu) %s\t[%s]\n", i + 1, entries[i].display.c_str(),
                     entries[i].token.c_str());
    }
    std::fprintf(Err(), "Choice [1]: ");
    std::fflush(err_);
    const auto answer = ReadAnswer();
    if (!answer) return std::nullopt;
    size_t choice = answer->empty() ? 1 : std::strtoul(answer->c_str(), nullptr, 10);
    if (choice < 1 || choice > entries.size()) choice = 1;
    return entries[choice - 1].token;
}

bool ConsoleScriptWindow::ContinueFromPause() {
    if (!interactive_) return true;
    if (!pausePrompted_) {
        std::fprintf(Err(), "Paused: press Enter to continue ");
        std::fflush(err_);
        pausePrompted_ = true;
    }
    if (!ReadAnswer(std::chrono::steady_clock::now())) return false;
    pausePrompted_ = false;
    return true;
}

}  // namespace corvane
