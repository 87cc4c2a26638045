#include "modules/ModuleLauncher.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/DeviceTable.h"
#include "core/TransmitPath.h"
#include "modules/AppKiller.h"
#include "modules/MessageText.h"
#include "modules/ModuleDialogs.h"
#include "modules/ModuleHost.h"
#include "modules/ProgramFile.h"
#include "platform/Shell.h"

namespace corvane {

namespace {

constexpr uint8_t kNoDevice = 0xFF;

std::string format(const char* pattern, int sa, int dsa) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, sa, dsa);
    return text;
}

std::string fileName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

ModuleLauncher::ModuleLauncher(Shell& shell, AppKiller& killer, ModuleHost& host,
                               ModuleDialogs& dialogs, TransmitPath& transmit,
                               std::function<std::string()> moduleFolder)
    : shell_(shell),
      killer_(killer),
      host_(host),
      dialogs_(dialogs),
      transmit_(transmit),
      moduleFolder_(std::move(moduleFolder)) {}

std::string ModuleLauncher::quillonPath() const {
    return (moduleFolder_ ? moduleFolder_() : std::string()) + "/" + kQuillonProgram;
}

void ModuleLauncher::runModule(const Module& module, const RVCDevice& device) {
    switch (module.type) {
        case ModuleType::Script:
            host_.openScriptWindow(module.resolve(module.file), module.parameters, device.sa);
            break;
        case ModuleType::Program:
            killer_.add(module.file);
            shell_.open(module.resolve(module.file),
                        module.parameters + format(" %d %d ", device.sa, device.dsa));
            break;
        case ModuleType::QuillonModule: {
            killer_.add(module.file);
            // The file is passed as written; the Quillon program itself lives in the module
            // base folder, where a bare name would not be found by a program search.
            std::string program = module.file;
            if (!ContainsFolder(program) && sameNameIgnoringCase(program, kQuillonProgram)) {
                program = quillonPath();
            }
            shell_.open(program, format(" %d %d ", device.sa, device.dsa) +
                                     module.resolve(module.parameters));
            break;
        }
        case ModuleType::DeviceList:
            host_.showDeviceListComparison(module.resolve(module.file));
            break;
        case ModuleType::Message:
            if (!transmitText(module.parameters, device.sa)) {
                dialogs_.showMessage("Failed to tranmit message\r\n" + module.parameters,
                                     "Module Error");
            }
            break;
        case ModuleType::None:
            break;
    }
}

bool ModuleLauncher::transmitText(const std::string& text, uint8_t target) {
    auto request = ParseMessageText(text, target);
    if (!request) return false;
    transmit_.sendRequest(*request);
    return true;
}

void ModuleLauncher::runSelectedModule(const std::optional<RVCDevice>& device,
                                       const std::shared_ptr<Module>& module) {
    if (!device) {
        dialogs_.showMessage("No Device Selected", "Module Selection Error");
        return;
    }
    if (!module) {
        dialogs_.showMessage("No Diagnostic Module Selected", "Module Selection Error");
        return;
    }
    runModule(*module, *device);
}

void ModuleLauncher::runUnlistedModule(const std::optional<RVCDevice>& selected) {
    auto chosen = dialogs_.chooseFile(kUnlistedFilter);
    if (!chosen) return;
    runChosenFile(*chosen, selected ? selected->sa : kNoDevice,
                  selected ? selected->dsa : kNoDevice);
}

void ModuleLauncher::runChosenFile(const std::string& path, uint8_t sa, uint8_t dsa) {
    // The file itself is opened under its real name: folders and files here are
    // case-sensitive.
    switch (ProgramFile::kindOfChosenFile(path)) {
        case ModuleType::Program:
            shell_.open(path, format("%d %d", sa, dsa));
            killer_.add(fileName(path));
            break;
        case ModuleType::QuillonModule:
            shell_.open(quillonPath(), format("%d %d ", sa, dsa) + path);
            killer_.add(kQuillonProgram);
            break;
        case ModuleType::DeviceList:
            host_.showDeviceListComparison(path);
            break;
        default: {
            // The script window refuses, with its own message, while another script runs.
            const size_t start = path.find_first_not_of('*');
            host_.openScriptWindow(start == std::string::npos ? "" : path.substr(start), "", sa);
            break;
        }
    }
}

std::optional<RVCDevice> ModuleLauncher::requestedDevice(uint16_t device,
                                                         const std::optional<RVCDevice>& selected,
                                                         const DeviceTable& table) {
    const bool own = device == RunModuleRequest::kSelectedDevice;
    if (own && selected) return selected;
    const uint8_t dsa = own ? kToolAddress : static_cast<uint8_t>(device & 0xFF);
    const uint8_t sa = own ? kToolAddress : static_cast<uint8_t>(device >> 8);
    for (const auto& d : table.devices()) {
        if (d.dsa == dsa && d.sa == sa) return d;
    }
    return std::nullopt;
}

bool ModuleLauncher::handleRunModuleRequest(const RunModuleRequest& request,
                                            const std::optional<RVCDevice>& selected,
                                            const DeviceTable& table) {
    if (!request.module) return false;
    const std::optional<RVCDevice> device = requestedDevice(request.device, selected, table);
    if (!device) return false;  // it aged out meanwhile: never run for a missing device
    runModule(*request.module, *device);
    return true;
}

}  // namespace corvane
