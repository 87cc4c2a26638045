#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace corvane {

class ActivityGraphCtrl;
class Clock;
class DeviceTable;
class DroppedWork;
class ModuleDialogs;
class ModuleLauncher;
class RVCManager;
class StatusGridCtrl;
namespace health {
class HealthWatch;
struct HealthReport;
}  // namespace health

// "Network Status": the traffic grid, the frame counts of the network and of the chosen
// address, the chosen node's make, model and device types, the bus load and the nodes gone
// silent, the activity strip and "Run Module" for the chosen address. Modeless, without a parent,
// and at most one at a time: open() brings an open window forward. The window only reads the
// manager and the device table.
class NetworkStatusDlg final : public QDialog {
    Q_OBJECT
  public:
    // What the window works with. manager may be null (no network: the strip stays idle);
    // the rest are required.
    struct Services {
        RVCManager* manager = nullptr;
        const DeviceTable* table = nullptr;
        // "Run Module" runs the chosen file as the main window's Run Module Not Listed Here
        // does.
        ModuleLauncher* launcher = nullptr;
        ModuleDialogs* dialogs = nullptr;
        // The bus load and the silent nodes; without it they are not shown.
        const health::HealthWatch* health = nullptr;
        const Clock* clock = nullptr;  // the time zone of the times shown
    };

    static constexpr const char* kModuleFilter =
        "Modules (*.exe)|*.exe|Quillon Modules (*.def)|*.def|Scripts (*.scr,*.scp)|*.scr;*.scp|"
        "All Files (*.*)|*.*||";
    static constexpr int kRefreshMs = 250;

    // The "Network Monitor" command: the open window raised, or a new one shown.
    static NetworkStatusDlg* open(const Services& services);
    // The open window, if any.
    static NetworkStatusDlg* instance() { return instance_; }

    ~NetworkStatusDlg() override;

    // The node description of an address: the first node's make, two blanks and model, then
    // for each DSA 0-254 of a device at that address " \r\nDSA: %d [%02X] %s".
    //   "Acme  X1 \r\nDSA: 66 [42] Inverter \r\nDSA: 88 [58] Main Thermostat"
    static std::string describeAddress(const DeviceTable& table, uint8_t address);
    // Empty while nothing was dropped, else "Dropped: 2 module deliveries, 0 adapter frames".
    static std::string droppedText(const DroppedWork& dropped);
    // "Bus load 12.3 % (last minute 11.8 %, peak 40.1 %) at 250 kbit/s".
    static std::string busLoadText(const health::HealthReport& report, double lastSecond,
                                   double lastMinute);
    // "Silent: none", or each silent node with when it was last heard:
    //   "Silent: Water Heater at 65 since 14:02:11; Address 30 since 14:03:00"
    static std::string silentNodesText(const health::HealthReport& report,
                                       const std::function<std::string(int64_t)>& timeText);
    // "%d [%02X]": 255 -> "255 [FF]".
    static std::string addressText(uint8_t address);

    // The chosen address changed: address box, description and strip highlight follow it.
    void selectAddress(uint8_t address);
    // The 250 ms refresh: the four counts, the dropped work and the grid.
    void refresh();
    // "Run Module": a program, a Quillon module, a device list or a script for the chosen
    // address (programs get "address 255").
    void runModule();

    StatusGridCtrl* grid() const { return grid_; }
    ActivityGraphCtrl* strip() const { return strip_; }
    QLineEdit* networkTraffic() const { return networkTraffic_; }
    QLineEdit* networkAverage() const { return networkAverage_; }
    QLineEdit* nodeAddress() const { return nodeAddress_; }
    QLineEdit* nodeTraffic() const { return nodeTraffic_; }
    QLineEdit* nodeAverage() const { return nodeAverage_; }
    QPlainTextEdit* nodeDescription() const { return nodeDescription_; }
    QLabel* droppedWork() const { return droppedWork_; }
    QLabel* busLoad() const { return busLoad_; }
    QLabel* busErrors() const { return busErrors_; }
    QLabel* silentNodes() const { return silentNodes_; }

  private:
    explicit NetworkStatusDlg(const Services& services);
    void buildControls();

    static NetworkStatusDlg* instance_;

    Services services_;
    StatusGridCtrl* grid_ = nullptr;
    ActivityGraphCtrl* strip_ = nullptr;
    QLineEdit* networkTraffic_ = nullptr;
    QLineEdit* networkAverage_ = nullptr;
    QLineEdit* nodeAddress_ = nullptr;
    QLineEdit* nodeTraffic_ = nullptr;
    QLineEdit* nodeAverage_ = nullptr;
    QPlainTextEdit* nodeDescription_ = nullptr;
    QLabel* droppedWork_ = nullptr;  // shown only when something was dropped
    QLabel* busLoad_ = nullptr;
    QLabel* busErrors_ = nullptr;  // shown only once the adapter passed on an error
    QLabel* silentNodes_ = nullptr;
    QPushButton* runModule_ = nullptr;
    QTimer refreshTimer_;
};

}  // namespace corvane
