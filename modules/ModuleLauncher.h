#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/RVCDevice.h"
#include "modules/Module.h"
#include "modules/RunModuleRequest.h"

namespace corvane {

class AppKiller;
class DeviceTable;
class ModuleDialogs;
class ModuleHost;
class Shell;
class TransmitPath;

// Turns a module and a device into action, and the main window's module commands that do so.
// Everything here runs on the user-interface thread.
class ModuleLauncher {
  public:
    static constexpr const char* kQuillonProgram = "Quillon.exe";
    static constexpr const char* kUnlistedFilter =
        "Modules (*.exe)|*.exe|Quillon Modules (*.def)|*.def|Scripts (*.scr,*.scp)|*.scr;*.scp|"
        "Devist Lists (*.cvdl)|*.cvdl|All Files (*.*)|*.*||";

    // `moduleFolder` answers the current module base folder (where Quillon.exe lives).
    ModuleLauncher(Shell& shell, AppKiller& killer, ModuleHost& host, ModuleDialogs& dialogs,
                   TransmitPath& transmit, std::function<std::string()> moduleFolder);

    void runModule(const Module& module, const RVCDevice& device);
    // Sends the message text of a Message module to `target`; false when the text is refused.
    bool transmitText(const std::string& text, uint8_t target);

    // "Run Selected Module": nullopt / null stand for nothing selected.
    void runSelectedModule(const std::optional<RVCDevice>& device,
                           const std::shared_ptr<Module>& module);
    // "Run Unlisted Module": asks for a file and runs it for the selected device (255 255
    // without one).
    void runUnlistedModule(const std::optional<RVCDevice>& device);
    // Runs a file the technician chose, as ProgramFile decides its kind: a program is started
    // with "SA DSA" and listed with the killer; a ".def" goes to Quillon ("SA DSA path"); a
    // device list is compared; anything else opens in the script window with `sa` as target
    // (leading "*" of the name dropped). The network status window passes its address and 255.
    void runChosenFile(const std::string& path, uint8_t sa, uint8_t dsa);
    // The device a queued request names, looked up when it is handled: the selected one (or,
    // with none selected, the tool's own entry) for kSelectedDevice, else the table's entry
    // for the coded addresses. Nothing when that device is not (or no longer) in the table:
    // a module never runs for a device that is gone.
    static std::optional<RVCDevice> requestedDevice(uint16_t device,
                                                    const std::optional<RVCDevice>& selected,
                                                    const DeviceTable& table);
    // The main window's handling of a queued RunModuleRequest. False when the request was
    // dropped because its device is not (or no longer) in the table, or it names no module.
    bool handleRunModuleRequest(const RunModuleRequest& request,
                                const std::optional<RVCDevice>& selected, const DeviceTable& table);

    // The module base folder followed by "/Quillon.exe".
    std::string quillonPath() const;

  private:
    Shell& shell_;
    AppKiller& killer_;
    ModuleHost& host_;
    ModuleDialogs& dialogs_;
    TransmitPath& transmit_;
    std::function<std::string()> moduleFolder_;
};

}  // namespace corvane
