#pragma once

#include <memory>
#include <optional>
#include <string>

#include "adapters/UserNotifier.h"
#include "app/AppSettings.h"
#include "app/MainWindowServices.h"
#include "app/MenuRules.h"
#include "app/RecordingOptions.h"
#include "core/RVCDevice.h"

namespace corvane {

// The menu commands that change options, connections and the network, without any widget:
// the main window hands them the command id and the selected device. Commands that open
// windows or choosers stay with the window. Runs on the user-interface thread.
class MainCommands {
  public:
    static constexpr const char* kNoDeviceText = "No module selected";
    static constexpr const char* kNoDeviceTitle = "Module Error";
    static constexpr const char* kRecordingTitle = "Record Traffic";
    static constexpr const char* kReportTitle = "Export Report";

    // What "Replay Log..." asks for.
    struct ReplayChoice {
        std::string path;
        double speed = 1.0;  // 1 the log's own timing; ReplayConduit::kAsFastAsPossible
        bool loop = false;
        int64_t startMicros = 0;  // how far into the log the first pass starts
    };
    // What "Record Traffic..." asks for: one file (compressed by its name), or a folder of
    // files cut and kept as `options` say - stored as the Recording settings, which
    // `corvane --headless --record` uses too.
    struct RecordingChoice {
        std::string path;  // the file, or the folder
        bool folder = false;
        RecordingOptions options;
    };

    MainCommands(const MainWindowServices& services, AppSettings& settings, UserNotifier& notifier);

    // Runs `id`; false when the id is not one of these commands.
    bool execute(int id, const std::optional<RVCDevice>& selected);
    // What the menu rules need, as of now.
    MenuState menuState() const;

    // "Send Reboot Command": the reset DGN 0x17F00 + the device's address, priority 6, data
    // FD FF FF FF FF FF FF FF, from the tool's address. The user asked for it, so the mute
    // mode does not hold it back.
    void sendReboot(const std::optional<RVCDevice>& selected);

    // "SocketCAN...": false, with a message, when this machine has no CAN support, so the
    // window does not ask for a name it cannot use.
    bool socketCanAvailable();
    // The interface name "SocketCAN..." offers first.
    std::string socketCanInterface() const;
    // Remembers the name and connects to it.
    void connectSocketCan(const std::string& interface);
    // Connects the replay of a log.
    void replayLog(const ReplayChoice& choice);
    // "Record Traffic...": starts the recording chosen; a message when it cannot.
    bool startRecording(const RecordingChoice& choice);
    // Ends the recording and tells how many frames it holds (or that writing failed).
    void stopRecording();
    bool recording() const;
    // The rotation "Record Traffic..." offers: the stored Recording settings.
    RecordingOptions storedRecordingOptions() const;
    // "Export Report...": the coach's report as a page at `path` and as JSON beside it (see
    // reportJsonPath). Tells where both went, or what could not be written.
    bool exportReport(const std::string& path);
    // The JSON file beside a report page: "coach.html" -> "coach.json", "coach" -> "coach.json".
    static std::string reportJsonPath(const std::string& pagePath);
    // The main window's title: while recording, with the frames recorded so far and those
    // the disk could not keep up with.
    std::string windowTitle(const std::string& base) const;

    AdapterSettings& adapterSettings() { return *adapterSettings_; }
    // Tells the user that a command's window or subsystem is not part of this version yet.
    void reportNotAvailable(int id);

  private:
    void executeUpdate(int id);
    bool executeConnection(int id);
    bool executeAdapterOption(int id);
    bool executeNetworkOption(int id);

    MainWindowServices services_;
    AppSettings& settings_;
    UserNotifier& notifier_;
    std::unique_ptr<AdapterSettings> ownAdapterSettings_;  // when start-up made none
    AdapterSettings* adapterSettings_;
};

}  // namespace corvane
