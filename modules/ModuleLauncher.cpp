#include "modules/ModuleLauncher.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/DeviceTable.h"
#include "core/TransmitPath.h"
#include "modules/AppKiller.h"
#include "modules/FolderListing.h"
#include "modules/MessageText.h"
#include "modules/ModuleDialogs.h"
#include "modules/ModuleHost.h"
#include "platform/FileInfo.h"
#include "platform/Shell.h"

namespace corvane {

namespace {

constexpr uint8_t kNoDevice = 0xFF;

std::string format(const char* pattern, int sa, int dsa) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, sa, dsa);
    return text;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool containsAfterFirst(const std::string& text, std::string_view part) {
    return text.find(part, 1) != std::string::npos;
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
    const uint8_t sa = selected ? selected->sa : kNoDevice;
    const uint8_t dsa = selected ? selected->dsa : kNoDevice;
    auto chosen = dialogs_.chooseFile(kUnlistedFilter);
    if (!chosen) return;
    // The kind is decided on the lower-case path; the file itself is opened under its real
    // name, since folders and files here are case-sensitive.
    const std::string& path = *chosen;
    const std::string lower = lowerCase(path);
    const bool script =
        FolderListing::hasExtension(lower, ".scr") || FolderListing::hasExtension(lower, ".scp");
    if (containsAfterFirst(lower, ".exe")) {
        shell_.open(path, format("%d %d", sa, dsa));
        killer_.add(fileName(path));
    } else if (containsAfterFirst(lower, ".def")) {
        shell_.open(quillonPath(), format("%d %d ", sa, dsa) + path);
        killer_.add(kQuillonProgram);
    } else if (containsAfterFirst(lower, ".cvdl")) {
        host_.showDeviceListComparison(path);
    } else if (!script && FileInfo::isExecutable(path)) {
        shell_.open(path, format("%d %d", sa, dsa));
        killer_.add(fileName(path));
    } else {
        host_.openScriptWindow(path, "", sa);
    }
}

bool ModuleLauncher::handleRunModuleRequest(const RunModuleRequest& request,
                                            const std::optional<RVCDevice>& selected,
                                            const DeviceTable& table) {
    if (!request.module) return false;
    std::optional<RVCDevice> device;
    if (request.device == RunModuleRequest::kSelectedDevice && selected) {
        device = selected;
    } else {
        const bool own = request.device == RunModuleRequest::kSelectedDevice;
        const uint8_t dsa = own ? kToolAddress : static_cast<uint8_t>(request.device & 0xFF);
        const uint8_t sa = own ? kToolAddress : static_cast<uint8_t>(request.device >> 8);
        for (const auto& d : table.devices()) {
            if (d.dsa == dsa && d.sa == sa) {
                device = d;
                break;
            }
        }
    }
    if (!device) return false;  // it aged out meanwhile: never run for a missing device
    runModule(*request.module, *device);
    return true;
}

}  // namespace corvane
