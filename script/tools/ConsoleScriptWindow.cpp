#include "script/tools/ConsoleScriptWindow.h"

#include <fstream>
#include <iostream>

namespace corvane {

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
    std::ofstream file(path, std::ios::binary);
    for (const auto& line : lines_) file << line << "\r\n";
    return static_cast<bool>(file);
}

void ConsoleScriptWindow::SetStatus(std::string_view text) {
    status_ = std::string(text);
    std::fprintf(err_, "status: %s\n", status_.c_str());
    std::fflush(err_);
}

std::optional<std::string> ConsoleScriptWindow::ReadAnswer() {
    std::string answer;
    if (!std::getline(std::cin, answer)) return std::nullopt;
    return answer;
}

std::optional<std::string> ConsoleScriptWindow::AskForParams(std::string_view current) {
    if (!interactive_) return std::string(current);
    std::fprintf(err_, "Parameters [%.*s]: ", static_cast<int>(current.size()), current.data());
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
        std::fprintf(err_, "%zu) %s\t[%s]\n", i + 1, entries[i].display.c_str(),
                     entries[i].token.c_str());
    }
    std::fprintf(err_, "Choice [1]: ");
    std::fflush(err_);
    const auto answer = ReadAnswer();
    if (!answer) return std::nullopt;
    size_t choice = answer->empty() ? 1 : std::strtoul(answer->c_str(), nullptr, 10);
    if (choice < 1 || choice > entries.size()) choice = 1;
    return entries[choice - 1].token;
}

}  // namespace corvane
