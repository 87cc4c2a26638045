#include <gtest/gtest.h>

#include <unistd.h>
#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Dgn.h"
#include "core/RvcMessage.h"
#include "debugport/DebugPort.h"
#include "modules/AppKiller.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleCommands.h"
#include "modules/ModuleLauncher.h"
#include "platform/ProcessTable.h"
#include "platform/SystemShell.h"
#include "platform/TcpStream.h"
#include "tests/modules/ModuleDoubles.h"
#include "tests/sdk/BusFixture.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using test::waitUntil;

using namespace std::chrono_literals;

// The simulated vehicle's devices as the device table learns them: a PRODUCT_ID
// ("make*model*serial*id*") and a diagnostic status naming the DSA.
struct SimDevice {
    uint8_t sa;
    uint8_t dsa;
    std::string productId;
};
const SimDevice kVehicle[] = {
    {0x42, 66, "Norvale Power*NV-3000 Inverter*NV30-118204*3000*"},
    {0x58, 88, "Coldline*CT-88 Thermostat*CT8800412*88*"},
    {0x65, 101, "ACME*Heater 5*SN123*7*"},
    {0x48, 72, "Brightwater*TankSense 4*BW-4-2231*4*"},
};

class ExampleModulesTest : public test::BusFixture {
  protected:
    void SetUp() override {
        BusFixture::SetUp();
        for (const auto& entry : std::filesystem::directory_iterator(CORVANE_EXAMPLE_MODULES)) {
            std::filesystem::copy(entry.path(), folder.path());
        }
        for (const auto& d : kVehicle) {
            const uint8_t status[8] = {0x05, d.dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
            devices.update(*makeMessage(dgn::kDmRv, d.sa, status));
            auto text =
                std::span(reinterpret_cast<const uint8_t*>(d.productId.data()), d.productId.size());
            devices.update(*makeMessage(dgn::kProductId, d.sa, text));
        }
        settings.writeString("Corvane", "ModuleFolder", folder.path());
        catalogue = std::make_unique<ModuleCatalogue>(settings, "/nonexistent");
    }
    void TearDown() override {
        for (pid_t pid : started) {
            if (ProcessTable::isAlive(pid)) ::kill(pid, SIGKILL);
        }
        BusFixture::TearDown();
    }

    // The catalogue's modules that fit the device, by description.
    std::vector<std::shared_ptr<Module>> fitting(const RVCDevice& device) {
        std::vector<std::shared_ptr<Module>> out;
        for (const auto& m : catalogue->modules()) {
            if (m->isApplicable(device, devices)) out.push_back(m);
        }
        return out;
    }

    test::ScratchFolder folder;
    std::unique_ptr<ModuleCatalogue> catalogue;
    std::vector<pid_t> started;
};

TEST_F(ExampleModulesTest, EachSimulatedDeviceGetsItsModule) {
    std::map<uint8_t, std::pair<ModuleType, std::string>> expected{
        {0x42, {ModuleType::Program, "rvc-watch"}},
        {0x58, {ModuleType::Script, "thermostat-check.scp"}},
        {0x65, {ModuleType::Message, folder.path() + "/water-heater-identify.RVC"}},
        {0x48, {ModuleType::DeviceList, "demo-vehicle.cvdl"}},
    };
    for (const auto& d : kVehicle) {
        auto mods = fitting(RVCDevice{.dsa = d.dsa, .sa = d.sa});
        ASSERT_EQ(mods.size(), 1u) << int(d.sa);
        EXPECT_EQ(mods[0]->type, expected[d.sa].first) << int(d.sa);
        EXPECT_EQ(mods[0]->file, expected[d.sa].second) << int(d.sa);
        EXPECT_EQ(mods[0]->onRightClick, 1) << int(d.sa);
    }
    EXPECT_TRUE(fitting(RVCDevice{.dsa = 66, .sa = 0x43}).empty());
    EXPECT_EQ(catalogue->modules().size(), 4u);
}

TEST_F(ExampleModulesTest, TheProgramModuleRegistersWithTheDeviceAddressUntilKilled) {
    const RVCDevice inverter{.dsa = 66, .sa = 0x42};
    auto mods = fitting(inverter);
    ASSERT_EQ(mods.size(), 1u);
    Module& watch = *mods[0];
    ASSERT_EQ(watch.file, "rvc-watch");
    EXPECT_EQ(watch.isDefault, 1);
    // The built program under a name of this test's own, so that stopping it by image name
    // cannot hit an rvc-watch that some other test run has started.
    const std::string image = "rvc-watch-mt" + std::to_string(::getpid());
    std::filesystem::copy_file(RVC_WATCH_PATH, folder.path() + "/" + image);
    watch.file = image;

    SystemShell shell;
    AppKiller killer(shell, [this] { return bus->clientCount(); });
    test::RecordingHost host;
    test::ScriptedDialogs dialogs;
    ModuleLauncher launcher(shell, killer, host, dialogs, transmit,
                            [this] { return catalogue->moduleFolder(); });
    launcher.runModule(watch, inverter);

    std::vector<ProcessInfo> mine;
    ASSERT_TRUE(waitUntil([&] {
        mine.clear();
        for (auto& p : ProcessTable::snapshot()) {
            if (p.image == image) mine.push_back(p);
        }
        return !mine.empty();
    }));
    started.push_back(mine[0].pid);
    EXPECT_EQ(mine[0].args, (std::vector<std::string>{folder.path() + "/" + image, "66", "66"}));
    ASSERT_TRUE(waitUntil([&] {
        auto report = bus->report();
        return report.find("Slot: rvc-watch." + std::to_string(mine[0].pid)) != std::string::npos &&
               report.find("Address: 42") != std::string::npos;
    })) << bus->report();
    EXPECT_EQ(killer.names(), std::vector<std::string>{image});

    killer.killAll();
    EXPECT_TRUE(waitUntil([&] { return !ProcessTable::isAlive(mine[0].pid); }));
}

// Reads until `expected` has arrived or two seconds have passed.
std::string readUntil(TcpStream& stream, const std::string& expected) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + 2s;
    std::array<uint8_t, 512> buffer;
    while (text.find(expected) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        if (!stream.waitReadable(50)) continue;
        long n = stream.receive(buffer);
        if (n <= 0) break;
        text.append(reinterpret_cast<const char*>(buffer.data()), size_t(n));
    }
    return text;
}

TEST_F(ExampleModulesTest, DebugCommandsAnswerOverThePort) {
    MemorySettingsStore portSettings;
    portSettings.writeInteger("Corvane", "DebugPortEnabled", 1);
    DebugPort port(portSettings, 0);
    test::RecordingShell shell;
    AppKiller killer(shell, [] { return size_t{0}; });
    killer.add("rvc-watch");
    killer.add("Quillon.exe");
    registerModuleCommands(port.commands(), *catalogue);
    registerAppKillerCommands(port.commands(), killer);
    ASSERT_TRUE(port.start());
    TcpStream client = TcpStream::connectTo("127.0.0.1", port.port());
    ASSERT_TRUE(client.valid());

    const std::string mods = "Module Report     Folder=" + folder.path() +
                             "\r\n"
                             "rvc-watch  Watch the Norvale Power inverter's traffic\n\r"
                             "  Norvale Power\n\r66,\n\r"
                             "demo-vehicle.cvdl  Compare with the demo vehicle's known-good "
                             "device list\n\r  Brightwater\n\r72,\n\r"
                             "thermostat-check.scp  Coldline thermostat check\n\r"
                             "  ^Coldline\n\r88,\n\r" +
                             folder.path() +
                             "/water-heater-identify.RVC  Ask the water heater for its "
                             "PRODUCT_ID\n\r  ACME\n\r  Heater 5\n\r101,\n\r";
    ASSERT_TRUE(client.send("mods\r\n"));
    EXPECT_EQ(readUntil(client, mods), mods);

    ASSERT_TRUE(client.send("apps\r\n"));
    const std::string apps = "AppKiller Report\n\rrvc-watch\n\rQuillon.exe\n\r";
    EXPECT_EQ(readUntil(client, apps), apps);

    // "folder" only stores the folder; the list changes at the next rescan.
    ASSERT_TRUE(client.send("folder /srv/other modules\r\n"));
    ASSERT_TRUE(client.send("mods\r\n"));
    const std::string moved = "Module Report     Folder=/srv/other modules\r\n";
    std::string reply = readUntil(client, "101,\n\r");
    EXPECT_EQ(reply.rfind(moved, 0), 0u) << reply;
    EXPECT_EQ(settings.readString("Corvane", "ModuleFolder"), "/srv/other modules");
    catalogue->rescan();
    EXPECT_TRUE(catalogue->modules().empty());
    port.stop();
}

}  // namespace
}  // namespace corvane
