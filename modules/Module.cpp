#include "modules/Module.h"

#include <cstdio>
#include <filesystem>

#include "core/DeviceTable.h"
#include "debugport/DebugPrint.h"
#include "modules/ModuleTestIDNumber.h"
#include "modules/ModuleTestIDNumberGrep.h"
#include "modules/ModuleTestMakeGrep.h"
#include "modules/ModuleTestModel.h"
#include "modules/ModuleTestModelGrep.h"
#include "modules/ModuleTestSerialNumber.h"
#include "modules/ModuleTestSerialNumberGrep.h"
#include "platform/FileInfo.h"
#include "platform/RegularFile.h"

namespace corvane {

namespace {

// A file nobody may write to is read-only even for a user the permissions do not bind.
bool isReadOnly(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    auto perms = fs::status(path, error).permissions();
    if (error) return true;
    return (perms & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) ==
           fs::perms::none;
}

std::unique_ptr<ModuleTest> makeTest(const ModuleTestSpec& spec, std::array<int32_t, 4>& r) {
    switch (spec.kind) {
        case ModuleTestKind::Make:
            return std::make_unique<ModuleTest>(spec.pattern, r[Module::kMake]);
        case ModuleTestKind::MakeGrep:
            return std::make_unique<ModuleTestMakeGrep>(spec.pattern, r[Module::kMake]);
        case ModuleTestKind::Model:
            return std::make_unique<ModuleTestModel>(spec.pattern, r[Module::kModel]);
        case ModuleTestKind::ModelGrep:
            return std::make_unique<ModuleTestModelGrep>(spec.pattern, r[Module::kModel]);
        case ModuleTestKind::SerialNumber:
            return std::make_unique<ModuleTestSerialNumber>(spec.pattern, r[Module::kSerialNumber]);
        case ModuleTestKind::SerialNumberGrep:
            return std::make_unique<ModuleTestSerialNumberGrep>(spec.pattern,
                                                                r[Module::kSerialNumber]);
        case ModuleTestKind::IDNumber:
            return std::make_unique<ModuleTestIDNumber>(spec.pattern, r[Module::kIDNumber]);
        case ModuleTestKind::IDNumberGrep:
            return std::make_unique<ModuleTestIDNumberGrep>(spec.pattern, r[Module::kIDNumber]);
    }
    return nullptr;
}

}  // namespace

bool ContainsFolder(const std::string& name) {
    return name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
}

std::shared_ptr<Module> Module::fromPlainFile(ModuleType type, const std::string& file,
                                              const std::string& parameters,
                                              const std::string& description,
                                              const std::string& folder) {
    auto m = std::make_shared<Module>();
    m->type = type;
    m->file = file;
    m->parameters = parameters;
    m->description = description;
    m->folder = folder;
    return m;
}

bool Module::loadDefinition(const std::string& path) {
    file = path;
    definitionFile = path;
    std::string text;
    const RegularFile::Status read =
        RegularFile::readAll(path, kMaxDefinitionBytes, text, RegularFile::Access::ReadWrite);
    if (read != RegularFile::Status::Ok) {
        if (read != RegularFile::Status::CannotOpen) {
            DebugPrint("Module definition %s %s; skipped\r\n", path.c_str(),
                       RegularFile::describe(read, kMaxDefinitionBytes).c_str());
        }
        return false;
    }
    if (isReadOnly(path)) return false;
    apply(ParseModuleDefinition(text, path));
    return true;
}

void Module::apply(const ModuleDefinition& d) {
    type = d.type;
    file = d.file;
    description = d.description;
    parameters = d.parameters;
    addresses |= d.addresses;
    defaultAddresses |= d.defaultAddresses;
    isDefault = d.isDefault ? 1 : 0;
    onRightClick = d.onRightClick ? 1 : 0;
    for (const auto& spec : d.tests) {
        if (auto test = makeTest(spec, results)) tests.push_back(std::move(test));
    }
}

std::string Module::resolve(const std::string& name) const {
    return ContainsFolder(name) ? name : folder + "/" + name;
}

std::string Module::fileDate() const {
    std::string path;
    switch (type) {
        case ModuleType::Program:
        case ModuleType::Script:
        case ModuleType::DeviceList:
            path = resolve(file);
            break;
        case ModuleType::QuillonModule:
            path = resolve(parameters);
            break;
        case ModuleType::Message:
            path = resolve(definitionFile);
            break;
        case ModuleType::None:
            return {};
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return {};  // no file named at all
    if (!RegularFile::open(path).isOpen()) return {};
    auto written = FileInfo::lastWriteTime(path);
    if (!written) return "Error";
    auto local = FileInfo::toLocalTime(*written);
    if (!local) return "Error";
    char text[64];
    std::snprintf(text, sizeof text, "%2d/%2d/%02d  %2d:%02d", local->month, local->day,
                  local->year % 100, local->hour, local->minute);
    return text;
}

std::string Module::reportLines() const {
    std::string text = file + "  " + description + "\n\r";
    for (const auto& test : tests) text += "  " + test->pattern() + "\n\r";
    text += CompactRangeList(defaultAddresses) + "\n\r";
    return text;
}

bool Module::isApplicable(const RVCDevice& device, const RVCNode& node) {
    if (!addresses[device.sa] || !defaultAddresses[device.dsa]) return false;
    results.fill(0);
    for (auto& test : tests) test->evaluate(node);  // every test runs: no early stop
    for (int32_t r : results) {
        if (r == 1) return false;  // the category had tests and none matched
    }
    return true;
}

bool Module::isApplicable(const RVCDevice& device, const DeviceTable& table) {
    if (!addresses[device.sa] || !defaultAddresses[device.dsa]) return false;
    return isApplicable(device, table.findNode(device.sa));
}

}  // namespace corvane
