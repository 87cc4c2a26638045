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
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/RVCManager.h"
#include "core/Vocabulary.h"
#include "modules/AppKiller.h"
#include "modules/ModuleDialogs.h"
#include "modules/ModuleHost.h"
#include "platform/Shell.h"

namespace corvane {

namespace {

// The grid's designed size before rounding up to whole cells.
constexpr int kGridDesigned = 250;
constexpr int kStripHeight = 60;
constexpr int kLastDsa = 254;
constexpr const char* kQuillonProgram = "Quillon.exe";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool containsAfterFirst(const std::string& text, const char* part) {
    return text.size() > 1 && text.find(part, 1) != std::string::npos;
}

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
    }
    grid_->update();
}

void NetworkStatusDlg::runModule() {
    const auto chosen = services_.dialogs->chooseFile(kModuleFilter);
    if (!chosen) return;
    // The kind is decided on the lower-case path, the file started under its real name:
    // names here are case-sensitive.
    const std::string& path = *chosen;
    const std::string lower = lowerCase(path);
    const uint8_t address = grid_->selected();
    char parameters[32];
    std::snprintf(parameters, sizeof parameters, "%d %d", address, kGlobalAddress);
    if (containsAfterFirst(lower, ".exe")) {
        services_.shell->open(path, parameters);
        services_.killer->add(fileName(path));
    } else if (containsAfterFirst(lower, ".def")) {
        const std::string folder = services_.moduleFolder ? services_.moduleFolder() : "";
        services_.shell->open(folder + "/" + kQuillonProgram, std::string(parameters) + " " + path);
        services_.killer->add(kQuillonProgram);
    } else {
        // The script window refuses, with its own message, while another script runs.
        const size_t start = path.find_first_not_of('*');
        services_.host->openScriptWindow(start == std::string::npos ? "" : path.substr(start), "",
                                         address);
    }
}

}  // namespace corvane
