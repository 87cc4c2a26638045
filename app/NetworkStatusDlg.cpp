#include "app/NetworkStatusDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/ActivityGraphCtrl.h"
#include "app/StatusGridCtrl.h"
#include "app/health/FaultTimes.h"
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/DroppedWork.h"
#include "core/RVCManager.h"
#include "core/Vocabulary.h"
#include "health/HealthWatch.h"
#include "modules/ModuleDialogs.h"
#include "modules/ModuleLauncher.h"

namespace corvane {

namespace {

// The grid's designed size before rounding up to whole cells.
constexpr int kGridDesigned = 250;
constexpr int kStripHeight = 60;
constexpr int kLastDsa = 254;
// Node texts are 8-bit; the edit box breaks lines at LF alone.
QString forDisplay(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))
        .replace("\r\n", "\n");
}

QLineEdit* readOnlyBox(const char* name) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setReadOnly(true);
    return box;
}

QGroupBox* countsGroup(const char* title,
                       std::initializer_list<std::pair<const char*, QLineEdit*>> rows) {
    auto* group = new QGroupBox(title);
    auto* form = new QGridLayout(group);
    int row = 0;
    for (const auto& [label, box] : rows) {
        form->addWidget(new QLabel(label), row, 0);
        form->addWidget(box, row++, 1);
    }
    return group;
}

}  // namespace

NetworkStatusDlg* NetworkStatusDlg::instance_ = nullptr;

NetworkStatusDlg* NetworkStatusDlg::open(const Services& services) {
    if (instance_ != nullptr) {
        instance_->show();
        instance_->raise();
        instance_->activateWindow();
        return instance_;
    }
    instance_ = new NetworkStatusDlg(services);
    instance_->show();
    return instance_;
}

NetworkStatusDlg::NetworkStatusDlg(const Services& services)
    : QDialog(nullptr), services_(services) {
    setWindowTitle("Network Status");
    buildControls();
    selectAddress(grid_->selected());
    refresh();

    connect(&refreshTimer_, &QTimer::timeout, this, &NetworkStatusDlg::refresh);
    refreshTimer_.start(kRefreshMs);
    // Closing in any way ends the window for good; the strip's worker stops at once.
    connect(this, &QDialog::finished, this, [this] {
        strip_->stop();
        if (instance_ == this) instance_ = nullptr;
        deleteLater();
    });
    strip_->start();
}

NetworkStatusDlg::~NetworkStatusDlg() {
    strip_->stop();
    if (instance_ == this) instance_ = nullptr;
}

void NetworkStatusDlg::buildControls() {
    grid_ = new StatusGridCtrl(services_.manager, this);
    grid_->setFixedSize(StatusGridCtrl::roundedUp(QSize(kGridDesigned, kGridDesigned)));
    connect(grid_, &StatusGridCtrl::selectionChanged, this, &NetworkStatusDlg::selectAddress);

    networkTraffic_ = readOnlyBox("networkTraffic");
    networkAverage_ = readOnlyBox("networkAverage");
    nodeAddress_ = readOnlyBox("nodeAddress");
    nodeTraffic_ = readOnlyBox("nodeTraffic");
    nodeAverage_ = readOnlyBox("nodeAverage");
    nodeDescription_ = new QPlainTextEdit;
    nodeDescription_->setObjectName("nodeDescription");
    nodeDescription_->setReadOnly(true);

    runModule_ = new QPushButton("Run Module");
    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    connect(runModule_, &QPushButton::clicked, this, &NetworkStatusDlg::runModule);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* side = new QVBoxLayout;
    side->addWidget(
        countsGroup("Network", {{"Traffic", networkTraffic_}, {"Average", networkAverage_}}));
    side->addWidget(countsGroup(
        "Node", {{"Address", nodeAddress_}, {"Traffic", nodeTraffic_}, {"Average", nodeAverage_}}));
    side->addWidget(nodeDescription_, 1);
    busLoad_ = new QLabel;
    busLoad_->setObjectName("busLoad");
    silentNodes_ = new QLabel;
    silentNodes_->setObjectName("silentNodes");
    silentNodes_->setWordWrap(true);
    busLoad_->setVisible(services_.health != nullptr);
    silentNodes_->setVisible(services_.health != nullptr);
    side->addWidget(busLoad_);
    side->addWidget(silentNodes_);
    busErrors_ = new QLabel;
    busErrors_->setObjectName("busErrors");
    busErrors_->setWordWrap(true);
    busErrors_->setVisible(false);
    side->addWidget(busErrors_);
    droppedWork_ = new QLabel;
    droppedWork_->setObjectName("droppedWork");
    droppedWork_->setVisible(false);
    side->addWidget(droppedWork_);

    auto* top = new QHBoxLayout;
    top->addWidget(grid_, 0, Qt::AlignTop);
    top->addLayout(side, 1);

    strip_ = new ActivityGraphCtrl(services_.manager, this);
    strip_->setFixedHeight(kStripHeight);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(runModule_);
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(strip_);
    layout->addLayout(buttons);
}

std::string NetworkStatusDlg::describeAddress(const DeviceTable& table, uint8_t address) {
    std::string text;
    for (const auto& node : table.nodes()) {
        if (node.address != address) continue;
        text += node.make + "  " + node.model;
        break;
    }
    const auto devices = table.devices();
    for (int dsa = 0; dsa <= kLastDsa; ++dsa) {
        const bool present = std::any_of(devices.begin(), devices.end(), [&](const RVCDevice& d) {
            return d.sa == address && d.dsa == dsa;
        });
        if (!present) continue;
        char line[32];
        std::snprintf(line, sizeof line, " \r\nDSA: %d [%02X] ", dsa, dsa);
        text += line + DeviceTypeName(static_cast<uint8_t>(dsa));
    }
    return text;
}

std::string NetworkStatusDlg::droppedText(const DroppedWork& dropped) {
    if (dropped.total() == 0) return {};
    const auto counted = [](uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return "Dropped: " +
           counted(dropped.skippedDeliveries(), "module delivery", "module deliveries") + ", " +
           counted(dropped.fullRing(), "adapter frame", "adapter frames");
}

std::string NetworkStatusDlg::busLoadText(const health::HealthReport& report, double lastSecond,
                                          double lastMinute) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Bus load %.1f %% (last minute %.1f %%, peak %.1f %%) at %u kbit/s", lastSecond,
                  lastMinute, report.loadPeak, report.bitRate / 1000);
    return text;
}

std::string NetworkStatusDlg::silentNodesText(const health::HealthReport& report,
                                              const std::function<std::string(int64_t)>& timeText) {
    if (report.silentNodes.empty()) return "Silent: none";
    std::string text = "Silent: ";
    for (size_t i = 0; i < report.silentNodes.size(); ++i) {
        const auto& node = report.silentNodes[i];
        if (i > 0) text += "; ";
        text += node.device + " since " + timeText(node.lastSeen);
    }
    return text;
}

std::string NetworkStatusDlg::addressText(uint8_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%d [%02X]", address, address);
    return text;
}

void NetworkStatusDlg::selectAddress(uint8_t address) {
    grid_->setSelected(address);
    nodeAddress_->setText(QString::fromStdString(addressText(address)));
    strip_->setHighlighted(address);
    nodeDescription_->setPlainText(forDisplay(describeAddress(*services_.table, address)));
}

void NetworkStatusDlg::refresh() {
    if (services_.manager != nullptr) {
        const AddressStats network = services_.manager->networkStats();
        const AddressStats node = services_.manager->addressStats(grid_->selected());
        networkTraffic_->setText(QString::number(network.last));
        networkAverage_->setText(QString::number(network.rate));
        nodeTraffic_->setText(QString::number(node.last));
        nodeAverage_->setText(QString::number(node.rate));
        const std::string dropped = droppedText(services_.manager->droppedWork());
        droppedWork_->setText(QString::fromStdString(dropped));
        droppedWork_->setVisible(!dropped.empty());
        const std::string errors = services_.manager->busErrors().text();
        busErrors_->setText(QString::fromStdString(errors));
        busErrors_->setVisible(!errors.empty());
    }
    if (services_.health != nullptr) {
        const auto& snapshot = services_.health->snapshot();
        const auto& report = services_.health->report();
        busLoad_->setText(QString::fromStdString(
            busLoadText(report, snapshot.loadLastSecond, snapshot.loadLastMinute)));
        silentNodes_->setText(
            QString::fromStdString(silentNodesText(report, faultTimeText(services_.clock))));
    }
    grid_->update();
}

void NetworkStatusDlg::runModule() {
    const auto chosen = services_.dialogs->chooseFile(kModuleFilter);
    if (chosen) services_.launcher->runChosenFile(*chosen, grid_->selected(), kGlobalAddress);
}

}  // namespace corvane
