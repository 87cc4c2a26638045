#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <filesystem>

#include "app/DeviceCompareDlg.h"
#include "app/DeviceListBox.h"
#include "app/MainMenuBar.h"
#include "app/NetworkStatusDlg.h"
#include "app/QtModuleHost.h"
#include "modules/AppKiller.h"
#include "modules/ModuleLauncher.h"
#include "script/ui/CInfo.h"
#include "script/ui/QuickScriptDlg.h"
#include "script/ui/ScriptDlg.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/modules/ModuleDoubles.h"

namespace corvane {
namespace {

using test::MainWindowHarness;

// The main window with everything its window commands need, recorded where it leaves the
// program (shell, dialogs).
class WindowsRig {
  public:
    WindowsRig() {
        h.customise = [this](MainWindowServices& s) {
            scripts.clock = &h.clock;
            scripts.network.transmit = s.transmit;
            scripts.network.manager = s.manager;
            scripts.network.devices = &h.table;
            scripts.network.shell = &shell;
            scripts.showMessage = [this](const std::string& text, const std::string& title) {
                dialogs.showMessage(text, title);
            };
            host = std::make_unique<QtModuleHost>(dialogs, h.table, scripts);
            launcher = std::make_unique<ModuleLauncher>(shell, killer, *host, dialogs, *s.transmit,
                                                        [] { return "/m"; });
            s.scripts = &scripts;
            s.moduleDialogs = &dialogs;
            s.launcher = launcher.get();
            s.moduleFolder = [] { return "/m"; };
        };
    }
    ~WindowsRig() {
        delete ScriptDlg::Current();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        h.window.reset();
    }
    WindowsRig(const WindowsRig&) = delete;
    WindowsRig& operator=(const WindowsRig&) = delete;

    CCorvaneDlg& open() {
        CCorvaneDlg& w = h.open();
        h.identify(0x42, "Acme*X1*1*2*");
        h.status(0x42, 66);
        h.untilNextListStep();
        host->setParent(&w);
        return w;
    }
    static std::vector<std::string> runToEnd(ScriptDlg& window) {
        for (int i = 0; i < 50 && window.engine().state().running; ++i) window.Step();
        return window.log().Lines();
    }

    MainWindowHarness h;
    test::ScratchFolder folder;
    test::RecordingShell shell;
    test::ScriptedDialogs dialogs;
    AppKiller killer{shell, [] { return size_t{0}; }};
    ScriptServices scripts;
    std::unique_ptr<QtModuleHost> host;
    std::unique_ptr<ModuleLauncher> launcher;
};

// Leaves the next modal Quick Script window with Run (true) or Cancel.
void answerQuickScript(bool run, bool& seen) {
    QTimer::singleShot(0, [run, &seen] {
        auto* dialog = qobject_cast<QuickScriptDlg*>(QApplication::activeModalWidget());
        if (!dialog) return;
        seen = true;
        if (run) {
            dialog->Run();
        } else {
            dialog->reject();
        }
    });
}

TEST(MainWindowWindows, QuickScriptRunsTheEditedFileForTheSelectedDevice) {
    WindowsRig rig;
    CCorvaneDlg& w = rig.open();
    const std::string file = rig.folder.write("quick.scp", "\"hello\n");
    w.appSettings().quickScriptFileName().set(file);
    w.deviceList().selectRow(0);

    bool seen = false;
    answerQuickScript(false, seen);
    w.mainMenu().action(command::kQuickScript)->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(ScriptDlg::Current(), nullptr);

    seen = false;
    answerQuickScript(true, seen);
    w.mainMenu().action(command::kQuickScript)->trigger();
    EXPECT_TRUE(seen);
    ScriptDlg* script = ScriptDlg::Current();
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(script->parentWidget(), &w);
    EXPECT_EQ(script->path(), file);
    EXPECT_EQ(WindowsRig::runToEnd(*script), (std::vector<std::string>{"hello", ""}));

    // One script at a time: a second Run is refused with the script window's message.
    answerQuickScript(true, seen);
    w.command(command::kQuickScript);
    EXPECT_EQ(ScriptDlg::Current(), script);
    EXPECT_EQ(rig.dialogs.messages,
              (std::vector<test::ScriptedDialogs::Message>{
                  {"Only one Script can be running at a time.", "Script Error"}}));
    EXPECT_TRUE(rig.h.notifier.messages.empty());
}

TEST(MainWindowWindows, NetworkMonitorOpensTheStatusWindowOnce) {
    WindowsRig rig;
    CCorvaneDlg& w = rig.open();
    w.mainMenu().action(command::kNetworkMonitor)->trigger();
    NetworkStatusDlg* status = NetworkStatusDlg::instance();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    w.command(command::kNetworkMonitor);
    EXPECT_EQ(NetworkStatusDlg::instance(), status);
    status->selectAddress(0x42);
    EXPECT_NE(status->nodeDescription()->toPlainText().indexOf("Acme"), -1);
    // It goes with the main window, whose services it uses.
    rig.h.window.reset();
    EXPECT_EQ(NetworkStatusDlg::instance(), nullptr);
    EXPECT_TRUE(rig.h.notifier.messages.empty());
}

TEST(MainWindowWindows, ExportThenCompareFindsTheListsMatch) {
    WindowsRig rig;
    CCorvaneDlg& w = rig.open();
    std::vector<bool> asked;
    CCorvaneDlg::Hooks hooks;
    hooks.chooseDeviceListFile = [&](bool forExport) -> std::optional<std::string> {
        asked.push_back(forExport);
        return rig.folder.path() + (forExport ? "/bus" : "/bus.cvdl");
    };
    w.setHooks(hooks);
    w.mainMenu().action(command::kExportDeviceList)->trigger();
    const std::string saved = rig.folder.path() + "/bus.cvdl";
    ASSERT_TRUE(std::filesystem::exists(saved));

    std::string report;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<DeviceCompareDlg*>(QApplication::activeModalWidget());
        if (!dialog) return;
        report = dialog->report()->toPlainText().toStdString();
        parent = dialog->parentWidget();
        dialog->accept();
    });
    w.mainMenu().action(command::kCompareDeviceLists)->trigger();
    EXPECT_EQ(asked, (std::vector<bool>{true, false}));
    EXPECT_EQ(parent, &w);
    EXPECT_EQ(report.rfind("Comparing " + saved, 0), 0u) << report;
    EXPECT_TRUE(report.ends_with("Device Lists Match.")) << report;
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(MainWindowWindows, UnlistedScriptOpensTheScriptWindowForTheSelectedDevice) {
    WindowsRig rig;
    CCorvaneDlg& w = rig.open();
    rig.dialogs.file = rig.folder.write("Check.SCR", "\"checked\n");
    w.deviceList().selectRow(0);
    w.command(command::kRunUnlistedModule);
    ScriptDlg* script = ScriptDlg::Current();
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(script->path(), *rig.dialogs.file);
    EXPECT_EQ(script->parentWidget(), &w);
    EXPECT_EQ(WindowsRig::runToEnd(*script), (std::vector<std::string>{"checked", ""}));
    EXPECT_TRUE(rig.shell.opens.empty());
}

}  // namespace
}  // namespace corvane
