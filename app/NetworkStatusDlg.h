#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace corvane {

class ActivityGraphCtrl;
class AppKiller;
class DeviceTable;
class ModuleDialogs;
class ModuleHost;
class RVCManager;
class Shell;
class StatusGridCtrl;

// "Network Status": the traffic grid, the frame counts of the network and of the chosen
// address, the chosen node's make, model and device types, the activity strip and "Run Module"
// for the chosen address. Modeless, without a parent, and at most one at a time: open() brings
// an open window forward. The window only reads the manager and the device table.
class NetworkStatusDlg final : public QDialog {
    Q_OBJECT
  public:
    // What the window works with. manager may be null (no network: the strip stays idle);
    // the rest are required.
    struct Services {
        RVCManager* manager = nullptr;
        const DeviceTable* table = nullptr;
        Shell* shell = nullptr;
        AppKiller* killer = nullptr;
        ModuleHost* host = nullptr;
        ModuleDialogs* dialogs = nullptr;
        // The module base folder, where Quillon.exe lives.
        std::function<std::string()> moduleFolder;
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
    // "%d [%02X]": 255 -> "255 [FF]".
    static std::string addressText(uint8_t address);

    // The chosen address changed: address box, description and strip highlight follow it.
    void selectAddress(uint8_t address);
    // The 250 ms refresh: the four counts and the grid.
    void refresh();
    // "Run Module": a program, a Quillon module or a script for the chosen address.
    void runModule();

    StatusGridCtrl* grid() const { return grid_; }
    ActivityGraphCtrl* strip() const { return strip_; }
    QLineEdit* networkTraffic() const { return networkTraffic_; }
    QLineEdit* networkAverage() const { return networkAverage_; }
    QLineEdit* nodeAddress() const { return nodeAddress_; }
    QLineEdit* nodeTraffic() const { return nodeTraffic_; }
    QLineEdit* nodeAverage() const { return nodeAverage_; }
    QPlainTextEdit* nodeDescription() const { return nodeDescription_; }

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
    QPushButton* runModule_ = nullptr;
    QTimer refreshTimer_;
};

}  // namespace corvane
