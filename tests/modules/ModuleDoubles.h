#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "modules/ModuleDialogs.h"
#include "modules/ModuleHost.h"
#include "platform/Shell.h"
#include "tests/support/ScratchFolder.h"

namespace corvane::test {

// Records what would have been started or stopped; `startSucceeds` is the shell's answer.
class RecordingShell final : public Shell {
  public:
    struct Open {
        std::string file;
        std::string parameters;
        bool operator==(const Open&) const = default;
    };
    bool open(const std::string& file, const std::string& parameters) override {
        opens.push_back({file, parameters});
        return startSucceeds;
    }
    void killImage(const std::string& name) override { kills.push_back(name); }

    bool startSucceeds = true;
    std::vector<Open> opens;
    std::vector<std::string> kills;
};

class RecordingHost final : public ModuleHost {
  public:
    struct Script {
        std::string path;
        std::string parameters;
        uint8_t target;
        bool operator==(const Script&) const = default;
    };
    void openScriptWindow(const std::string& path, const std::string& parameters,
                          uint8_t target) override {
        scripts.push_back({path, parameters, target});
    }
    void showDeviceListComparison(const std::string& path) override { comparisons.push_back(path); }

    std::vector<Script> scripts;
    std::vector<std::string> comparisons;
};

// Answers choosers and questions as set up; records every message box.
class ScriptedDialogs final : public ModuleDialogs {
  public:
    struct Message {
        std::string text;
        std::string title;
        bool operator==(const Message&) const = default;
    };
    std::optional<std::string> chooseFile(const std::string& filter) override {
        filters.push_back(filter);
        return file;
    }
    std::optional<std::string> chooseFolder(const std::string& title,
                                            const std::string& initial) override {
        folderTitles.push_back(title + "|" + initial);
        return folder;
    }
    void showMessage(const std::string& text, const std::string& title) override {
        messages.push_back({text, title});
    }
    bool askYesNo(const std::string& text, const std::string& title) override {
        questions.push_back(title + "|" + text);
        return yes;
    }

    std::optional<std::string> file;
    std::optional<std::string> folder;
    bool yes = false;
    std::vector<std::string> filters;
    std::vector<std::string> folderTitles;
    std::vector<Message> messages;
    std::vector<std::string> questions;
};

}  // namespace corvane::test
