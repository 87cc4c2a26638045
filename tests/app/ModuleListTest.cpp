#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/CatalogueModuleSource.h"
#include "app/DeviceListBox.h"
#include "app/ExternalModuleDlg.h"
#include "app/MainMenuBar.h"
#include "app/ModuleListBox.h"
#include "app/QtModuleDialogs.h"
#include "app/QtModuleHost.h"
#include "core/DeviceTable.h"
#include "modules/AppKiller.h"
#include "modules/DateStamp.h"
#include "modules/ModuleCatalogue.h"
#include "modules/ModuleLauncher.h"
#include "modules/Updater.h"
#include "script/ui/CInfo.h"
#include "script/ui/ScriptDlg.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/modules/ModuleDoubles.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

using test::MainWindowHarness;
namespace fs = std::filesystem;

const fs::path kExamples = CORVANE_EXAMPLE_MODULES;

// The simulated vehicle's devices with their PRODUCT_IDs.
struct VehicleDevice {
    uint8_t sa;
    uint8_t dsa;
    const char* productId;
};
constexpr VehicleDevice kInverter{0x42, 66, "Norvale Power*NP-3000*N100*1*"};
constexpr VehicleDevice kThermostat{0x58, 88, "Coldline*CL-20*C200*2*"};
constexpr VehicleDevice kWaterHeater{0x65, 101, "ACME*Heater 5*SN123*7*"};
constexpr VehicleDevice kTank{0x48, 72, "Brightwater*BW-4*B400*4*"};

// The main window over the real catalogue of a copy of the example module folder (a copy,
// because read-only definitions are skipped and a checkout may be read-only).
class CatalogueWindow {
  public:
    CatalogueWindow() {
        for (const auto& entry : fs::directory_iterator(kExamples))
            fs::copy_file(entry.path(), fs::path(folder.path()) / entry.path().filename());
        h.store.writeString("Corvane", "ModuleFolder", folder.path());
        catalogue = std::make_unique<ModuleCatalogue>(h.store, defaults.path());
        updater = std::make_unique<Updater>(catalogue->autoUpdate(), catalogue->lastUpdate(), shell,
                                            h.clock, killer, "/opt/corvane/CorvaneUpdater.exe");
        h.customise = [this](MainWindowServices& s) {
            launcher =
                std::make_unique<ModuleLauncher>(shell, killer, host, dialogs, *s.transmit,
                                                 [this] { return catalogue->moduleFolder(); });
            source = std::make_unique<CatalogueModuleSource>(*catalogue, *launcher, h.table);
            s.modules = source.get();
            s.catalogue = catalogue.get();
            s.moduleDialogs = &dialogs;
            s.launcher = launcher.get();
            s.updater = updater.get();
        };
    }

    // The window goes before the catalogue and launcher it uses.
    ~CatalogueWindow() { h.window.reset(); }
    CatalogueWindow(const CatalogueWindow&) = delete;
    CatalogueWindow& operator=(const CatalogueWindow&) = delete;

    CCorvaneDlg& open() {
        CCorvaneDlg& w = h.open();
        for (const VehicleDevice& d : {kInverter, kThermostat, kWaterHeater, kTank}) {
            h.identify(d.sa, d.productId);
            h.status(d.sa, d.dsa);
        }
        h.untilNextListStep();
        return w;
    }
    void select(const VehicleDevice& d) {
        const DeviceRows& rows = h.window->deviceList().rows();
        for (int i = 0; i < rows.count(); ++i) {
            if (rows.keyOf(i) == DeviceRows::Key{d.dsa, d.sa}) h.window->deviceList().selectRow(i);
        }
    }
    std::vector<std::string> shownModules() const {
        std::vector<std::string> out;
        for (const ModuleRow& m : h.window->moduleList().shown()) out.push_back(m.description);
        return out;
    }
    std::string inFolder(const std::string& name) const { return folder.path() + "/" + name; }

    test::ScratchFolder folder;
    test::ScratchFolder defaults;  // the executable's folder: no definitions
    MainWindowHarness h;
    test::RecordingShell shell;
    test::RecordingHost host;
    test::ScriptedDialogs dialogs;
    size_t clients = 0;
    AppKiller killer{shell, [this] { return clients; }};
    std::unique_ptr<ModuleCatalogue> catalogue;
    std::unique_ptr<Updater> updater;
    std::unique_ptr<ModuleLauncher> launcher;
    std::unique_ptr<CatalogueModuleSource> source;
};

TEST(ModuleList, EachSimulatedDeviceListsItsOwnModule) {
    const struct {
        VehicleDevice device;
        std::vector<std::string> modules;
    } cases[] = {
        {kInverter, {"Watch the Norvale Power inverter's traffic"}},
        {kThermostat, {"Coldline thermostat check"}},
        {kWaterHeater, {"Ask the water heater for its PRODUCT_ID"}},
        {kTank, {"Compare with the demo vehicle's known-good device list"}},
    };
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    ASSERT_EQ(w.deviceList().count(), 4);
    for (const auto& t : cases) {
        c.select(t.device);
        EXPECT_EQ(c.shownModules(), t.modules) << int(t.device.sa);
        EXPECT_TRUE(w.runSelectedButton().isEnabled());
        EXPECT_EQ(w.lastDevice(), (DeviceRows::Key{t.device.dsa, t.device.sa}));
    }
}

TEST(ModuleList, AMakeThatDoesNotMatchListsNothing) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    // The water heater needs both make ACME and model Heater 5.
    c.h.identify(kWaterHeater.sa, "ACME*Heater 6*SN123*7*");
    c.select(kInverter);
    c.select(kWaterHeater);
    EXPECT_EQ(w.moduleList().count(), 0);
    EXPECT_FALSE(w.runSelectedButton().isEnabled());

    w.command(command::kRunSelectedModule);
    ASSERT_EQ(c.dialogs.messages.size() + c.h.notifier.messages.size(), 1u);
    EXPECT_EQ(c.h.notifier.messages.at(0),
              (std::pair<std::string, std::string>{"No Diagnostic Module Selected",
                                                   "Module Selection Error"}));
}

TEST(ModuleList, RunSelectedWithoutADeviceSaysSo) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    w.command(command::kRunSelectedModule);
    ASSERT_EQ(c.h.notifier.messages.size(), 1u);
    EXPECT_EQ(c.h.notifier.messages[0], (std::pair<std::string, std::string>{
                                            "No Device Selected", "Module Selection Error"}));
    EXPECT_TRUE(c.shell.opens.empty());
}

TEST(ModuleList, AMessageModuleSendsItsFrameToTheDevice) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    c.select(kWaterHeater);
    c.h.sent.frames.clear();
    w.runSelectedButton().click();
    ASSERT_EQ(c.h.sent.frames.size(), 1u);
    const test::Sent& f = c.h.sent.frames[0];
    EXPECT_EQ(f.dgn, 0xEA65u);  // a request to 0x65
    EXPECT_EQ(f.sa, 0xF9);
    EXPECT_EQ(f.priority, 6);
    EXPECT_EQ(f.data, (std::vector<uint8_t>{0xEB, 0xFE, 0x00}));
    EXPECT_TRUE(c.dialogs.messages.empty());
}

TEST(ModuleList, DoubleClickRunsTheDefaultProgramWithTheDeviceAddresses) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    c.select(kInverter);
    Q_EMIT w.deviceList().deviceDoubleClicked();
    ASSERT_EQ(c.shell.opens.size(), 1u);
    EXPECT_EQ(c.shell.opens[0], (test::RecordingShell::Open{c.inFolder("rvc-watch"), " 66 66 "}));
    EXPECT_EQ(c.killer.names(), (std::vector<std::string>{"rvc-watch"}));

    // The thermostat's module is not a default one: a double-click runs nothing.
    c.select(kThermostat);
    Q_EMIT w.deviceList().deviceDoubleClicked();
    EXPECT_EQ(c.shell.opens.size(), 1u);
    EXPECT_TRUE(c.host.scripts.empty());
}

TEST(ModuleList, RightClickMenusQueueTheirRunsForTheSelectedDevice) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    c.select(kThermostat);
    std::unique_ptr<QMenu> menu(w.buildDeviceMenu());
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Coldline thermostat check");
    menu->actions()[0]->trigger();
    EXPECT_TRUE(c.host.scripts.empty());  // posted, not run in place
    QCoreApplication::processEvents();
    ASSERT_EQ(c.host.scripts.size(), 1u);
    EXPECT_EQ(c.host.scripts[0],
              (test::RecordingHost::Script{c.inFolder("thermostat-check.scp"), "", 0x58}));

    c.select(kTank);
    menu.reset(w.buildDeviceMenu());
    ASSERT_TRUE(menu);
    menu->actions()[0]->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(c.host.comparisons, (std::vector<std::string>{c.inFolder("demo-vehicle.cvdl")}));
}

TEST(ModuleList, AQueuedRunForADeviceThatWentAwayIsDropped) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    c.select(kWaterHeater);
    std::unique_ptr<QMenu> menu(w.buildDeviceMenu());
    ASSERT_TRUE(menu);
    c.h.sent.frames.clear();
    menu->actions()[0]->trigger();
    c.h.table.clear();  // a disconnect before the request is handled
    QCoreApplication::processEvents();
    EXPECT_TRUE(c.h.sent.frames.empty());
    EXPECT_TRUE(c.dialogs.messages.empty());
}

TEST(ModuleList, ModuleMenuShowsTheDefinitionAndRuns) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    c.select(kInverter);
    std::unique_ptr<QMenu> menu(w.buildModuleMenu());
    ASSERT_TRUE(menu);
    const QList<QAction*> items = menu->actions();
    ASSERT_GE(items.size(), 7);
    EXPECT_EQ(items[1]->text(), "Filename: rvc-watch");
    EXPECT_EQ(items[2]->text().toStdString(), "Folder: " + c.folder.path());
    EXPECT_EQ(items[4]->text().toStdString(), "RVC File: " + c.inFolder("inverter-watch.RVC"));
    items.back()->trigger();
    ASSERT_EQ(c.shell.opens.size(), 1u);
    EXPECT_EQ(c.shell.opens[0].file, c.inFolder("rvc-watch"));
}

TEST(ModuleList, RunModuleNotListedHereUsesTheChosenFile) {
    const struct {
        bool selectInverter;
        std::string chosen;
        test::RecordingShell::Open started;
        std::string killed;
    } cases[] = {
        {false, "/srv/Tools/Check.exe", {"/srv/Tools/Check.exe", "255 255"}, "Check.exe"},
        {true, "/srv/Tools/Check.exe", {"/srv/Tools/Check.exe", "66 66"}, "Check.exe"},
    };
    for (const auto& t : cases) {
        CatalogueWindow c;
        CCorvaneDlg& w = c.open();
        if (t.selectInverter) c.select(kInverter);
        c.dialogs.file = t.chosen;
        w.mainMenu().action(command::kRunUnlistedModule)->trigger();
        EXPECT_EQ(c.dialogs.filters, (std::vector<std::string>{ModuleLauncher::kUnlistedFilter}));
        ASSERT_EQ(c.shell.opens.size(), 1u);
        EXPECT_EQ(c.shell.opens[0], t.started);
        EXPECT_EQ(c.killer.names(), (std::vector<std::string>{t.killed}));
    }

    // A script goes to the script window; a cancelled chooser runs nothing.
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    c.select(kThermostat);
    c.dialogs.file = "/srv/check.scp";
    w.command(command::kRunUnlistedModule);
    EXPECT_EQ(c.host.scripts,
              (std::vector<test::RecordingHost::Script>{{"/srv/check.scp", "", 0x58}}));
    c.dialogs.file.reset();
    w.command(command::kRunUnlistedModule);
    EXPECT_EQ(c.host.scripts.size(), 1u);
    EXPECT_TRUE(c.shell.opens.empty());
}

TEST(ModuleList, FolderCommandsRescanAndRefillTheList) {
    CatalogueWindow c;
    test::ScratchFolder other;
    other.write("sub/inverter-setup.RVC",
                "description=Inverter Setup\nfile=setup\naddress=42h\ndefaddress=66\n\n");
    CCorvaneDlg& w = c.open();
    c.select(kInverter);

    // Cancelled: nothing changes.
    w.command(command::kChangeModuleFolder);
    EXPECT_EQ(c.shownModules(),
              (std::vector<std::string>{"Watch the Norvale Power inverter's traffic"}));

    c.dialogs.folder = other.path();
    w.mainMenu().action(command::kChangeModuleFolder)->trigger();
    EXPECT_EQ(c.catalogue->moduleFolder(), other.path());
    EXPECT_EQ(c.shownModules(), (std::vector<std::string>{"Inverter Setup"}));
    EXPECT_EQ(c.h.store.readString("Corvane", "ModuleFolder"), other.path());

    // Reset asks first; "No" keeps the folder.
    c.dialogs.yes = false;
    w.command(command::kResetFolders);
    EXPECT_EQ(c.catalogue->moduleFolder(), other.path());
    EXPECT_EQ(c.dialogs.questions.size(), 1u);
    c.dialogs.yes = true;
    w.mainMenu().action(command::kResetFolders)->trigger();
    EXPECT_EQ(c.catalogue->moduleFolder(), c.defaults.path());
    EXPECT_EQ(w.moduleList().count(), 0);
    EXPECT_FALSE(w.runSelectedButton().isEnabled());
    EXPECT_TRUE(c.h.notifier.messages.empty());
}

TEST(ModuleList, ARowFromBeforeARescanStillRunsItsOwnModule) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    c.select(kInverter);
    const ModuleRow before = *w.moduleList().selectedModule();

    test::ScratchFolder other;
    other.write("watch.RVC",
                "description=Another watch\nfile=other\naddress=42h\ndefaddress=66\n\n");
    c.dialogs.folder = other.path();
    w.command(command::kChangeModuleFolder);
    const ModuleRow after = *w.moduleList().selectedModule();
    EXPECT_NE(after.index, before.index);

    RVCDevice inverter;
    inverter.sa = kInverter.sa;
    inverter.dsa = kInverter.dsa;
    c.source->runModule(before, inverter);
    c.source->runModule(after, inverter);
    ModuleRow unknown;
    unknown.index = 1000;
    c.source->runModule(unknown, inverter);
    EXPECT_EQ(c.shell.opens,
              (std::vector<test::RecordingShell::Open>{{c.inFolder("rvc-watch"), " 66 66 "},
                                                       {other.path() + "/other", " 66 66 "}}));
}

TEST(ModuleList, UpdateCommandsGoThroughTheUpdater) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    MainMenuBar& menu = w.mainMenu();
    EXPECT_EQ(w.commands().menuState().autoUpdate, 1);
    menu.action(command::kAutoUpdate)->trigger();
    EXPECT_EQ(c.h.store.readInteger("Corvane", "AutoUpdate"), 0);
    EXPECT_EQ(w.commands().menuState().autoUpdate, 0);
    w.command(command::kAutoUpdate);
    EXPECT_EQ(c.h.store.readInteger("Corvane", "AutoUpdate"), 1);

    c.clients = 1;  // a module is connected, so its programs are stopped first
    c.select(kInverter);
    Q_EMIT w.deviceList().deviceDoubleClicked();
    c.shell.opens.clear();
    menu.action(command::kUpdateNow)->trigger();
    EXPECT_EQ(c.shell.kills, (std::vector<std::string>{"rvc-watch"}));
    EXPECT_EQ(c.shell.opens, (std::vector<test::RecordingShell::Open>{
                                 {"/opt/corvane/CorvaneUpdater.exe", "-KILL -AUTO"}}));
    EXPECT_EQ(c.h.store.readInteger("Corvane", "LastUpdate"), DateStamp(c.h.clock));
    EXPECT_TRUE(c.h.notifier.messages.empty());
}

TEST(ModuleHostWindows, ScriptGoesToTheScriptWindowWithTheCurrentModuleFolder) {
    test::ensureApplication();
    test::ScriptedDialogs dialogs;
    test::FakeClock clock;
    DeviceTable table{clock};
    test::ScratchFolder folder;
    ScriptServices scripts;
    scripts.clock = &clock;
    scripts.network.baseFolder = "/stale";
    std::string moduleFolder = "/m";
    QtModuleHost host(dialogs, table, scripts, [&] { return moduleFolder; });
    const std::string path = folder.write("check.scp", "\"[BASEFOLDER]\n");
    moduleFolder = "/m2";
    host.openScriptWindow("**" + path, "-v", 0x58);
    ScriptDlg* window = ScriptDlg::Current();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->path(), path);
    for (int i = 0; i < 20 && window->engine().state().running; ++i) window->Step();
    ASSERT_FALSE(window->log().Lines().empty());
    EXPECT_EQ(window->log().Lines()[0], "/m2");
    delete window;
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(ModuleDialogFilters, ChooserFiltersBecomeQtFilters) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {ModuleLauncher::kUnlistedFilter,
         "Modules (*.exe);;Quillon Modules (*.def);;Scripts (*.scr *.scp);;"
         "Devist Lists (*.cvdl);;All Files (*)"},
        {"Scripts (*.scr,*.scp)|*.scr;*.scp|All Files (*.*)|*.*||",
         "Scripts (*.scr *.scp);;All Files (*)"},
        {"Plain|*.txt", "Plain (*.txt)"},
        {"", ""},
    };
    for (const auto& t : cases) EXPECT_EQ(QtModuleDialogs::qtFilterOf(t.in), t.out) << t.in;
    EXPECT_EQ(QtModuleDialogs::plainLines("Failed to tranmit message\r\nEAXX"),
              "Failed to tranmit message\nEAXX");
}

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

// "Open External Module Folder": the folder's definitions and plain module files that no
// definition names, sorted; a double-click runs one for the selected device through a queued
// request; opening again brings the same window forward; "Done" ends it and its list.
TEST(ExternalModules, ListsTheFolderAndRunsWithoutApplicabilityTests) {
    CatalogueWindow c;
    CCorvaneDlg& w = c.open();
    test::ScratchFolder external;
    for (const auto& entry : fs::directory_iterator(kExamples))
        fs::copy_file(entry.path(), fs::path(external.path()) / entry.path().filename());
    { std::ofstream(fs::path(external.path()) / "TOOL.EXE") << "x"; }
    c.dialogs.folder = external.path();

    w.command(command::kOpenExternalModuleFolder);
    ExternalModuleDlg* window = ExternalModuleDlg::instance();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "External Modules");
    EXPECT_EQ(window->folderBox().text().toStdString(), external.path());
    std::vector<std::string> shown;
    for (int i = 0; i < window->list().count(); ++i)
        shown.push_back(window->list().item(i)->text().toStdString());
    // The script and the device list are named by definitions, so they are not listed twice.
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Ask the water heater for its PRODUCT_ID", "Coldline thermostat check",
                         "Compare with the demo vehicle's known-good device "
                         "list",
                         "TOOL.EXE", "Watch the Norvale Power inverter's traffic"}));

    c.dialogs.folder = "/nowhere";
    w.command(command::kOpenExternalModuleFolder);
    EXPECT_EQ(ExternalModuleDlg::instance(), window);  // the same window, no new chooser
    EXPECT_EQ(c.dialogs.folderTitles.size(), 1u);

    c.select(kThermostat);  // TOOL.EXE fits no device, yet runs for the selected one
    QListWidgetItem* tool = window->list().findItems("TOOL.EXE", Qt::MatchExactly).front();
    Q_EMIT window->list().itemDoubleClicked(tool);
    EXPECT_TRUE(c.shell.opens.empty());  // queued, not run inside the click
    QCoreApplication::processEvents();
    ASSERT_EQ(c.shell.opens.size(), 1u);
    EXPECT_EQ(c.shell.opens[0].file, external.path() + "/TOOL.EXE");
    EXPECT_EQ(c.shell.opens[0].parameters, " 88 88 ");

    window->reject();  // "Done"
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ExternalModuleDlg::instance(), nullptr);
}

}  // namespace
}  // namespace corvane
