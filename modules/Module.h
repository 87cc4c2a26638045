#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/RVCDevice.h"
#include "core/RVCNode.h"
#include "modules/AddressList.h"
#include "modules/ModuleDefinition.h"
#include "modules/ModuleTest.h"
#include "modules/ModuleType.h"

namespace corvane {

class DeviceTable;

// Something the technician can run against a device: a program, a Quillon module, a script,
// a stored device list or a message. Modules are held by shared_ptr, so that a run request
// posted before a rescan still holds a live module afterwards.
//
// The tests refer to `results`, so a module is neither copied nor moved. isApplicable writes
// `results`: only the user-interface thread calls it, never twice at once for one module.
class Module {
  public:
    // The four result categories of the tests.
    enum Category { kMake = 0, kModel = 1, kSerialNumber = 2, kIDNumber = 3 };

    Module() = default;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // A module for a plain file of a folder (External Modules): no definition, no addresses.
    static std::shared_ptr<Module> fromPlainFile(ModuleType type, const std::string& file,
                                                 const std::string& parameters,
                                                 const std::string& description,
                                                 const std::string& folder);

    // Definitions are a few lines; anything larger is not one.
    static constexpr size_t kMaxDefinitionBytes = size_t{4} << 20;

    // Fills the module from the definition file at path. False when the file is missing,
    // cannot be opened for reading and writing, is read-only, is not a regular file (a FIFO
    // or a device carrying the name) or is larger than kMaxDefinitionBytes; its content never
    // fails.
    bool loadDefinition(const std::string& path);
    // Takes over a parsed definition (tests are appended after any existing ones).
    void apply(const ModuleDefinition& definition);

    // The date of the module's main file as "%2d/%2d/%02d  %2d:%02d" (month, day, year,
    // hour, minute); empty when there is no such file or it cannot be read, "Error" when its
    // time cannot be read.
    std::string fileDate() const;
    // The module's lines of the "mods" report (each ending "\n\r").
    std::string reportLines() const;

    // Does the module fit the device? The node is the device table's answer for device.sa.
    bool isApplicable(const RVCDevice& device, const RVCNode& node);
    bool isApplicable(const RVCDevice& device, const DeviceTable& table);

    // A name with a folder in it ("/" or "\") unchanged; otherwise folder + "/" + name.
    std::string resolve(const std::string& name) const;

    ModuleType type = ModuleType::None;
    std::string definitionFile;
    std::string file;
    std::string folder;
    std::string description;
    std::string parameters;
    AddressSet addresses;         // indexed by source address
    AddressSet defaultAddresses;  // indexed by DSA
    int32_t isDefault = 0;
    int32_t onRightClick = 0;
    std::vector<std::unique_ptr<ModuleTest>> tests;
    std::array<int32_t, 4> results{};  // bit 0: a test of the category failed; bit 1: matched
};

// "a/b", "a\b" -> true; "tool.exe" -> false.
bool ContainsFolder(const std::string& name);

}  // namespace corvane
