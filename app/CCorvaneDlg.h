#pragma once

#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "adapters/UserNotifier.h"
#include "app/AppSettings.h"
#include "app/CResizingDialog.h"
#include "app/ConnectionStatus.h"
#include "app/DeviceRows.h"
#include "app/MainCommands.h"
#include "app/MainWindowModules.h"
#include "app/MainWindowServices.h"
#include "app/ModuleRow.h"
#include "core/DeviceListView.h"

class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace corvane {

class DeviceListBox;
class MainMenuBar;
class ModuleListBox;

// The main window: the device list, the Details box, the modules that fit the selected
// device, the menu bar, and the 50 ms timer that drives the periodic duties. Closing it ends
// the program. Everything here runs on the user-interface thread.
class CCorvaneDlg final : public CResizingDialog, public DeviceListView {
    Q_OBJECT
  public:
    static constexpr int kTimerMs = 50;
    // The (DSA, source address) of "no device shown yet", so that the first selection always
    // fills the module list.
    static constexpr DeviceRows::Key kNoDevice{0xFE, 0xFF};
    static constexpr const char* kQuickScriptFilter = "Scripts (*.scr *.scp);;All Files (*)";
    static constexpr const char* kDeviceListFilter = "Device Lists (*.cvdl);;All Files (*)";
    static constexpr const char* kNoDeviceSelectedText = "No Device Selected";
    static constexpr const char* kNoModuleSelectedText = "No Diagnostic Module Selected";
    static constexpr const char* kModuleSelectionTitle = "Module Selection Error";

    // Choosers and windows other parts provide; tests replace them.
    struct Hooks {
        // The file chooser of "Change QuickScript File": the chosen existing file, or nothing.
        std::function<std::optional<std::string>(const std::string& current)> chooseScriptFile;
        // The Quick Script window for a file and a target address.
        std::function<void(const std::string& file, uint8_t target)> quickScript;
        // The choosers of "Export" (`forExport`) and "Compare": the chosen path, or nothing.
        std::function<std::optional<std::string>(bool forExport)> chooseDeviceListFile;
        // "SocketCAN...": the interface name, starting from `current`, or nothing.
        std::function<std::optional<std::string>(const std::string& current)> askSocketCanInterface;
        // "Replay Log...": the log and how to play it, or nothing.
        std::function<std::optional<MainCommands::ReplayChoice>()> chooseReplay;
        // "Record Traffic...": the file or folder to record into, or nothing.
        std::function<std::optional<MainCommands::RecordingChoice>()> chooseRecording;
        // "Export Report...": the page to write (the JSON goes beside it), or nothing.
        std::function<std::optional<std::string>()> chooseReportFile;
    };

    // `runTimer` false leaves the ticks to the caller (tests call timerTick()).
    CCorvaneDlg(const MainWindowServices& services, UserNotifier& notifier, bool runTimer = true,
                QWidget* parent = nullptr);
    ~CCorvaneDlg() override;

    void setHooks(Hooks hooks);

    // One 50 ms tick: the start-up connection check, then the periodic duties and, at the
    // 900 ms steps without a rebuild, the repaint of rows whose status changed.
    void timerTick();
    // Refills the device list; the caller has diverted the manager's intake.
    void rebuildDeviceList() override;
    // Follows a new device selection: Details text and, for a different device, the modules.
    void showDeviceDetails();
    // Lists the modules that fit `device` (the selected one when none is given).
    void fillModuleList(std::optional<RVCDevice> device = std::nullopt);

    // Runs one menu command by id (the menu bar, the buttons and the lists' menus end here).
    void command(int id);
    // The lists' right-click menus, or null when there is nothing to offer. The caller owns
    // the menu.
    QMenu* buildDeviceMenu();
    QMenu* buildModuleMenu();

    DeviceListBox& deviceList() { return *deviceList_; }
    ModuleListBox& moduleList() { return *moduleList_; }
    MainMenuBar& mainMenu() { return *menu_; }
    QPushButton& runSelectedButton() { return *runSelected_; }
    QString detailsText() const;
    QString connectionText() const;
    DeviceRows::Key lastDevice() const { return lastDevice_; }
    AppSettings& appSettings() { return settings_; }
    MainCommands& commands() { return commands_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildControls();
    void connectSignals();
    void rebuildNow();
    void refreshStatusRows();
    // The status line and the empty device list's text, as the connection is now.
    void refreshConnection();
    void showDetailsText(const RVCDevice& device);
    void runSelectedModule();
    void changeQuickScriptFile();
    void quickScript();
    void openNetworkMonitor();
    std::optional<std::string> chooseDeviceListFile(bool forExport);
    void exportDeviceList();
    void compareDeviceLists();
    void connectSocketCan();
    void replayLog();
    void recordTraffic();
    void exportReport();
    // The title with the recording's frame count while one runs.
    void refreshTitle();

    MainWindowServices services_;
    UserNotifier& notifier_;
    AppSettings settings_;
    MainCommands commands_;
    ConnectionStatus connectionStatus_;
    MainWindowModules modules_;
    Hooks hooks_;

    MainMenuBar* menu_ = nullptr;
    DeviceListBox* deviceList_ = nullptr;
    ModuleListBox* moduleList_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
    QPushButton* runSelected_ = nullptr;
    QPushButton* runUnlisted_ = nullptr;
    QLabel* connection_ = nullptr;

    QTimer timer_;
    QString baseTitle_;
    DeviceRows::Key lastDevice_ = kNoDevice;
    uint64_t healthShown_ = 0;  // the health figures the Details box shows
};

}  // namespace corvane
