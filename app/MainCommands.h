#pragma once

#include <memory>
#include <optional>

#include "adapters/UserNotifier.h"
#include "app/AppSettings.h"
#include "app/MainWindowServices.h"
#include "app/MenuRules.h"
#include "core/RVCDevice.h"

namespace corvane {

// The menu commands that change options, connections and the network, without any widget:
// the main window hands them the command id and the selected device. Commands that open
// windows or choosers stay with the window. Runs on the user-interface thread.
class MainCommands {
  public:
    static constexpr const char* kNoDeviceText = "No module selected";
    static constexpr const char* kNoDeviceTitle = "Module Error";

    MainCommands(const MainWindowServices& services, AppSettings& settings, UserNotifier& notifier);

    // Runs `id`; false when the id is not one of these commands.
    bool execute(int id, const std::optional<RVCDevice>& selected);
    // What the menu rules need, as of now.
    MenuState menuState() const;

    // "Send Reboot Command": the reset DGN 0x17F00 + the device's address, priority 6, data
    // FD FF FF FF FF FF FF FF, from the tool's address. The user asked for it, so the mute
    // mode does not hold it back.
    void sendReboot(const std::optional<RVCDevice>& selected);

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
