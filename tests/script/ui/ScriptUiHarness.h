#pragma once

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/DeviceTable.h"
#include "core/FrameSender.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "platform/MemorySettingsStore.h"
#include "script/ui/ScriptServices.h"
#include "tests/support/FakeClock.h"
#include "tests/support/QtTestApplication.h"

namespace corvane::test {

// Deletes the windows that closed themselves.
inline void DeleteClosedWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Named apart from core's recorder (tests/core/TransmitHarness.h): two types under one name
// would break the one-definition rule in a program that had both.
// One frame a script sent, with all of its data.
struct ScriptSentFrame {
    uint32_t dgn;
    uint8_t sa;
    std::vector<uint8_t> data;
};

// Keeps every frame the script's network is handed.
class ScriptFrameRecorder final : public FrameSender {
  public:
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t, uint16_t length,
                   const uint8_t* data) override {
        std::lock_guard lock(mutex_);
        frames_.push_back({dgn, sa, std::vector<uint8_t>(data, data + length)});
    }
    bool echoTransmits() const override { return false; }
    std::vector<ScriptSentFrame> frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }

  private:
    std::mutex mutex_;
    std::vector<ScriptSentFrame> frames_;
};

// The network a script window runs against in tests, a folder for its files, and recorders in
// place of the message box, the file chooser and the printer.
class ScriptUiHarness {
  public:
    ScriptUiHarness() : table(clock), manager(settings, table), transmit(manager) {
        ensureApplication();
        static std::atomic<int> serial{0};
        folder =
            std::filesystem::temp_directory_path() /
            ("corvane-scriptui-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(folder);
        transmit.setSender(&sender);
    }
    ~ScriptUiHarness() {
        transmit.setSender(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    ScriptServices services() {
        ScriptServices s;
        s.clock = &clock;
        s.network.transmit = &transmit;
        s.network.manager = &manager;
        s.network.devices = &table;
        s.network.adapterSelected = [] { return true; };
        s.showMessage = [this](const std::string& text, const std::string& title) {
            messages.emplace_back(title, text);
        };
        s.chooseLogFile = [this] { return chosenLogFile; };
        s.print = [this](const std::string& file) {
            printed.push_back(file);
            return true;
        };
        return s;
    }

    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    FakeClock clock;
    MemorySettingsStore settings;
    DeviceTable table;
    RVCManager manager;
    TransmitPath transmit;
    ScriptFrameRecorder sender;
    std::filesystem::path folder;
    std::vector<std::pair<std::string, std::string>> messages;  // title, text
    std::optional<std::string> chosenLogFile;
    std::vector<std::string> printed;
};

}  // namespace corvane::test
