// Arbitrary bytes from a debug-port client: cut into command lines however TCP splits them,
// and each line run by the port against the commands the tool registers ("mods", "folder",
// "apps", "slots", "devs") over a small network and module catalogue. The first byte decides
// how the rest is split into receives. Besides crashes and sanitizer findings it checks the
// line assembler's promises: the same lines whatever the receives, none empty, none of 128
// characters or more, none holding a byte outside 32-127.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/DeviceReport.h"
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/RVCManager.h"
#include "core/RvcMessage.h"
#include "debugport/DebugPort.h"
#include "debugport/FunctionCommand.h"
#include "debugport/LineAssembler.h"
#include "fuzz/FuzzSupport.h"
#include "modules/AppKiller.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleCommands.h"
#include "platform/MemorySettingsStore.h"
#include "platform/Shell.h"

namespace {

using namespace corvane;
using fuzz::check;

class NoShell final : public Shell {
  public:
    bool open(const std::string&, const std::string&) override { return false; }
    void killImage(const std::string&) override {}
};

// The application's objects the commands report on, made once: a module folder with one
// definition, a network with a node and a device, and one started program.
struct Tool {
    Tool() {
        char pattern[] = "/tmp/corvane-fuzz-debug-XXXXXX";
        check(mkdtemp(pattern) != nullptr);
        folder = pattern;
        if (FILE* f = std::fopen((folder + "/Watch.RVC").c_str(), "wb")) {
            std::fputs("file=rvc-watch\ndescription=Watch\naddress=0-255\ndefaddress=66\n", f);
            std::fclose(f);
        }
        catalogue = std::make_unique<ModuleCatalogue>(settings, folder);
        // Scanned once: the commands report what the catalogue holds, not the disk.
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        const std::string productId = "Acme*PX-2000*SN1*ID1*";
        table.update(*makeMessage(
            dgn::kProductId, 0x42,
            std::span(reinterpret_cast<const uint8_t*>(productId.data()), productId.size())));
        const uint8_t status[8] = {0x05, 66, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        table.update(*makeMessage(dgn::kDmRv, 0x42, status));
        table.addToolEntries();
        killer.add("rvc-watch");

        registerModuleCommands(port.commands(), *catalogue);
        registerAppKillerCommands(port.commands(), killer);
        port.commands().add("slots", std::make_unique<FunctionCommand>(
                                         [this](const std::string&) { return manager.slots(); }));
        port.commands().add("devs", std::make_unique<FunctionCommand>([this](const std::string&) {
                                return ReportDeviceList(table, clock.epochSeconds());
                            }));
        SetDebugSink(&sink);
    }

    fuzz::DiscardingSink sink;
    MemorySettingsStore settings;
    std::string folder;
    std::unique_ptr<ModuleCatalogue> catalogue;
    fuzz::StepClock clock;
    DeviceTable table{clock};
    RVCManager manager{settings, table};
    NoShell shell;
    AppKiller killer{shell, [] { return size_t{0}; }};
    DebugPort port{settings, 0};
};

Tool& tool() {
    static Tool t;
    return t;
}

// Receives of 1 to 512 bytes (the port's chunk), their sizes drawn from a generator seeded
// by `seed`.
std::vector<std::string> assembleInReceives(std::span<const uint8_t> bytes, uint8_t seed) {
    LineAssembler assembler;
    std::vector<std::string> lines;
    uint32_t state = seed * 2654435761u + 7;
    size_t at = 0;
    while (at < bytes.size()) {
        state = state * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(1 + ((state >> 16) % 512), bytes.size() - at);
        for (std::string& line : assembler.feed(bytes.subspan(at, n))) {
            lines.push_back(std::move(line));
        }
        at += n;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Tool& t = tool();
    const std::span<const uint8_t> stream(data + 1, size - 1);

    LineAssembler whole;
    const std::vector<std::string> lines = whole.feed(stream);
    check(assembleInReceives(stream, data[0]) == lines);
    for (const std::string& line : lines) {
        check(!line.empty() && line.size() < LineAssembler::kLineLimit);
        for (unsigned char c : line) check(c >= 32 && c <= 127);
        t.port.executeLine(line);
    }
    // "folder" changes the base folder: the next input starts from the same one.
    t.catalogue->setModuleFolder(t.folder);
    return 0;
}
