#include "app/CCorvaneDlg.h"

#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AppIcon.h"
#include "app/CAboutDlg.h"
#include "app/DeviceCompareDlg.h"
#include "app/DeviceDetails.h"
#include "app/DeviceListBox.h"
#include "app/ExternalModuleDlg.h"
#include "app/MainMenuBar.h"
#include "app/MenuTable.h"
#include "app/ModuleListBox.h"
#include "app/ModuleMenus.h"
#include "app/NetworkStatusDlg.h"
#include "app/RecordTrafficDlg.h"
#include "app/ReplayLogDlg.h"
#include "app/health/FaultTimes.h"
#include "app/health/FaultsDlg.h"
#include "app/traffic/TrafficDlg.h"
#include "core/DeviceListFile.h"
#include "core/Dgn.h"
#include "health/HealthWatch.h"
#include "modules/ModuleDialogs.h"
#include "script/ui/OpenScriptWindow.h"
#include "script/ui/QuickScriptDlg.h"

namespace corvane {

namespace {

// The designed dialog with a status line below it.
constexpr QSize kDesignedUnits(490, 304);
constexpr const char* kSizeSection = "66";
constexpr int kStatisticsStepMs = 900;
constexpr uint8_t kNoTarget = 0xFF;

QString fromCrLf(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.remove('\r');
    return out;
}

bool isConnectionCommand(int id) {
    return id == command::kUsb || id == command::kCloud || id == command::kDisconnect ||
           id == command::kReconnect || id == command::kSocketCan || id == command::kReplayLog;
}

}  // namespace

CCorvaneDlg::CCorvaneDlg(const MainWindowServices& services, UserNotifier& notifier, bool runTimer,
                         QWidget* parent)
    : CResizingDialog(*services.settings, kSizeSection, kDesignedUnits, parent),
      services_(services),
      notifier_(notifier),
      settings_(*services.settings, services.executableFolder),
      commands_(services_, settings_, notifier),
      connectionStatus_(services_),
      modules_(
          services_, notifier, commands_, [this] { return deviceList_->selectedDevice(); }, *this) {
    setObjectName("mainWindow");
    buildControls();
    connectSignals();
    restoreSize();
    setWindowIcon(AppIcon::icon());
    baseTitle_ = QString("Corvane HP v%1.%2").arg(CAboutDlg::kMajor).arg(CAboutDlg::kMinor);
    setWindowTitle(baseTitle_);
    // The debug port is opened for one run at a time: the next start has it off again.
    settings_.debugPortEnabled().set(0);
    services_.duties->setDeviceListView(this);
    connect(&timer_, &QTimer::timeout, this, &CCorvaneDlg::timerTick);
    if (runTimer) timer_.start(kTimerMs);
    details_->clear();
    refreshConnection();
}

CCorvaneDlg::~CCorvaneDlg() {
    timer_.stop();
    // The status window has no parent, but it works with what this window was given.
    delete NetworkStatusDlg::instance();
    delete TrafficDlg::instance();
    // Its run requests come back to this window.
    delete ExternalModuleDlg::instance();
    services_.duties->setDeviceListView(nullptr);
}

void CCorvaneDlg::setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

void CCorvaneDlg::buildControls() {
    menu_ = new MainMenuBar([this] { return commands_.menuState(); }, this);
    deviceList_ = new DeviceListBox(this);
    deviceList_->setObjectName("deviceList");
    details_ = new QPlainTextEdit(this);
    details_->setObjectName("details");
    details_->setReadOnly(true);
    moduleList_ = new ModuleListBox(this);
    moduleList_->setObjectName("moduleList");
    runSelected_ = new QPushButton("Run Selected Module", this);
    runSelected_->setEnabled(false);
    runUnlisted_ = new QPushButton("Run Module Not Listed Here", this);
    connection_ = new QLabel(this);
    connection_->setObjectName("connectionStatus");

    using namespace anchor;
    setTopInset(menu_->sizeHint().height());
    addControl(deviceList_, {6, 6, 276, 282}, kStretchWidth | kStretchHeight);
    addControl(new QLabel("Details", this), {288, 6, 22, 8}, kMoveRight);
    addControl(details_, {288, 18, 192, 78}, kMoveRight);
    addControl(runSelected_, {384, 102, 96, 14}, kMoveRight);
    addControl(new QLabel("Available Modules", this), {288, 108, 58, 8}, kMoveRight);
    addControl(moduleList_, {288, 120, 192, 156}, kMoveRight | kStretchHeight);
    addControl(runUnlisted_, {288, 276, 192, 12}, kMoveRight | kMoveDown);
    addControl(connection_, {6, 292, 478, 10}, kMoveDown | kStretchWidth);
}

void CCorvaneDlg::connectSignals() {
    connect(menu_, &MainMenuBar::commandTriggered, this, &CCorvaneDlg::command);
    connect(runSelected_, &QPushButton::clicked, this,
            [this] { command(command::kRunSelectedModule); });
    connect(runUnlisted_, &QPushButton::clicked, this,
            [this] { command(command::kRunUnlistedModule); });
    connect(deviceList_, &DeviceListBox::deviceSelectionChanged, this,
            &CCorvaneDlg::showDeviceDetails);
    connect(deviceList_, &DeviceListBox::deviceDoubleClicked, this,
            [this] { modules_.runDefaults(); });
    connect(moduleList_, &ModuleListBox::runRequested, this,
            [this] { command(command::kRunSelectedModule); });
    connect(deviceList_, &DeviceListBox::contextMenuWanted, this, [this](const QPoint& at) {
        if (QMenu* menu = buildDeviceMenu()) {
            menu->exec(at);
            delete menu;
        }
    });
    connect(moduleList_, &ModuleListBox::contextMenuWanted, this, [this](const QPoint& at) {
        if (QMenu* menu = buildModuleMenu()) {
            menu->exec(at);
            delete menu;
        }
    });
}

void CCorvaneDlg::resizeEvent(QResizeEvent* event) {
    CResizingDialog::resizeEvent(event);
    menu_->setGeometry(0, 0, width(), menu_->sizeHint().height());
}

void CCorvaneDlg::timerTick() {
    if (services_.adapters) {
        // Alt held while the start-up connection is undecided rules it out for this run.
        const bool alt = !services_.adapters->startupDecided() &&
                         (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier);
        services_.adapters->startupTick(alt);
    }
    const int rebuildsBefore = deviceList_->rebuildCount();
    services_.duties->tick();
    const int counter = services_.duties->counter();
    const bool statisticsStep = counter != 0 && counter % kStatisticsStepMs == 0;
    if (statisticsStep && deviceList_->rebuildCount() == rebuildsBefore) refreshStatusRows();
    if (statisticsStep) refreshTitle();
    // Faults in words follow the health figures, renewed at the same step.
    if (statisticsStep && services_.health && services_.health->generation() != healthShown_) {
        healthShown_ = services_.health->generation();
        if (const std::optional<RVCDevice> device = deviceList_->selectedDevice())
            showDetailsText(*device);
    }
    refreshConnection();
}

void CCorvaneDlg::refreshConnection() {
    const QString line = QString::fromStdString(connectionStatus_.line());
    if (line != connection_->text()) connection_->setText(line);
    deviceList_->setEmptyText(connectionStatus_.emptyListText());
}

QString CCorvaneDlg::connectionText() const { return connection_->text(); }

void CCorvaneDlg::refreshTitle() {
    const QString title = QString::fromStdString(commands_.windowTitle(baseTitle_.toStdString()));
    if (title != windowTitle()) setWindowTitle(title);
}

void CCorvaneDlg::refreshStatusRows() {
    bool selectedChanged = false;
    const DeviceRows::Key selected = deviceList_->selectedKey();
    for (const DeviceRows::Key& key : deviceList_->refreshStatus(services_.table->devices())) {
        services_.table->clearStatusChanged(key.sa, key.dsa);
        selectedChanged |= key == selected;
    }
    // The Details box shows the lamps and the fault too.
    const std::optional<RVCDevice> device = deviceList_->selectedDevice();
    if (selectedChanged && device) showDetailsText(*device);
}

void CCorvaneDlg::rebuildDeviceList() {
    deviceList_->rebuild(services_.table->devices(), services_.manager->showPhantoms());
    showDeviceDetails();
}

void CCorvaneDlg::rebuildNow() {
    services_.table->takeChanged();
    services_.manager->divertIntake();
    rebuildDeviceList();
    services_.manager->drainIntake();
}

void CCorvaneDlg::showDeviceDetails() {
    const std::optional<RVCDevice> device = deviceList_->selectedDevice();
    if (!device) {
        details_->clear();
        moduleList_->empty();
        runSelected_->setEnabled(false);
        lastDevice_ = kNoDevice;
        return;
    }
    showDetailsText(*device);
    if (DeviceRows::Key{device->dsa, device->sa} != lastDevice_) fillModuleList(device);
}

void CCorvaneDlg::showDetailsText(const RVCDevice& device) {
    const RVCNode node = services_.table->findNode(device.sa);
    const auto faults = services_.health ? services_.health->faultsOf(device.sa, device.dsa)
                                         : std::vector<health::HealthReport::Fault>{};
    const QString text =
        fromCrLf(DeviceDetailsText(device, node, faults, faultTimeText(services_.clock)));
    // Unchanged text is left alone, so a selection in the box survives the refresh.
    if (text != details_->toPlainText()) details_->setPlainText(text);
}

void CCorvaneDlg::fillModuleList(std::optional<RVCDevice> device) {
    moduleList_->empty();
    if (!device) device = deviceList_->selectedDevice();
    if (!device) return;
    moduleList_->fill(modules_.fitting(*device));
    runSelected_->setEnabled(!moduleList_->shown().empty());
    lastDevice_ = {device->dsa, device->sa};
}

QString CCorvaneDlg::detailsText() const { return details_->toPlainText(); }

void CCorvaneDlg::command(int id) {
    const std::optional<RVCDevice> selected = deviceList_->selectedDevice();
    if (commands_.execute(id, selected)) {
        // A connection change may have emptied the device table: never leave rows standing
        // for devices that are gone.
        if (isConnectionCommand(id) && services_.table->changed()) rebuildNow();
        if (isConnectionCommand(id)) refreshConnection();
        return;
    }
    const bool connection = isConnectionCommand(id);
    switch (id) {
        case command::kExit:
            reject();
            break;
        case command::kAbout: {
            auto* about = new CAboutDlg(this);
            about->setAttribute(Qt::WA_DeleteOnClose);
            about->open();
            break;
        }
        case command::kRunSelectedModule:
            runSelectedModule();
            break;
        case command::kRunUnlistedModule:
            modules_.runUnlisted(selected);
            break;
        case command::kChangeModuleFolder:
        case command::kResetFolders:
            // The selected device's list follows the rescanned catalogue.
            if (modules_.changeFolders(id)) fillModuleList();
            break;
        case command::kQuickScript:
            quickScript();
            break;
        case command::kChangeQuickScriptFile:
            changeQuickScriptFile();
            break;
        case command::kNetworkMonitor:
            openNetworkMonitor();
            break;
        case command::kTraffic:
            TrafficDlg::open({services_.manager, services_.table, services_.settings,
                              services_.messageCatalogue});
            break;
        case command::kExportDeviceList:
            exportDeviceList();
            break;
        case command::kCompareDeviceLists:
            compareDeviceLists();
            break;
        case command::kOpenExternalModuleFolder:
            modules_.openExternalFolder();
            break;
        case command::kSocketCan:
            connectSocketCan();
            break;
        case command::kReplayLog:
            replayLog();
            break;
        case command::kRecordTraffic:
            recordTraffic();
            break;
        case command::kFaults:
            if (services_.health)
                FaultsDlg::open({services_.health, services_.clock});
            else
                commands_.reportNotAvailable(id);
            break;
        case command::kExportReport:
            exportReport();
            break;
        default:
            commands_.reportNotAvailable(id);
            break;
    }
    if (connection && services_.table->changed()) rebuildNow();
    if (connection) refreshConnection();
}

void CCorvaneDlg::runSelectedModule() {
    const std::optional<RVCDevice> device = deviceList_->selectedDevice();
    const std::optional<ModuleRow> module = moduleList_->selectedModule();
    if (!device) {
        notifier_.showMessage(kNoDeviceSelectedText, kModuleSelectionTitle);
        return;
    }
    if (!module) {
        notifier_.showMessage(kNoModuleSelectedText, kModuleSelectionTitle);
        return;
    }
    modules_.run(*module, *device);
}

QMenu* CCorvaneDlg::buildDeviceMenu() {
    const std::optional<RVCDevice> device = deviceList_->selectedDevice();
    if (!device) return nullptr;
    const std::vector<ModuleRow> offered = modules_.deviceMenu(*device);
    if (offered.empty()) return nullptr;
    auto* menu = new QMenu(this);
    for (size_t i = 0; i < offered.size(); ++i) {
        QAction* a = menu->addAction(QString::fromStdString(offered[i].description));
        a->setData(command::kFirstDeviceMenuModule + static_cast<int>(i));
        connect(a, &QAction::triggered, this, [this, i] { modules_.runFromMenu(i); });
    }
    return menu;
}

QMenu* CCorvaneDlg::buildModuleMenu() {
    const std::optional<ModuleRow> module = moduleList_->selectedModule();
    if (!module) return nullptr;
    auto* menu = new QMenu(this);
    for (const std::string& line : ModuleMenus::informationLines(*module))
        menu->addAction(QString::fromStdString(line))->setEnabled(false);
    menu->addSeparator();
    QAction* run = menu->addAction("Run Module");
    run->setCheckable(true);
    run->setChecked(true);
    run->setData(command::kRunSelectedModule);
    connect(run, &QAction::triggered, this, [this] { command(command::kRunSelectedModule); });
    return menu;
}

void CCorvaneDlg::quickScript() {
    const std::optional<RVCDevice> device = deviceList_->selectedDevice();
    const uint8_t target = device ? device->sa : kNoTarget;
    const std::string file = settings_.quickScriptFileName().value();
    if (hooks_.quickScript) {
        hooks_.quickScript(file, target);
        return;
    }
    if (!services_.scripts) {
        commands_.reportNotAvailable(command::kQuickScript);
        return;
    }
    QuickScriptDlg editor(
        *services_.settings, file,
        [this](const std::string& text, const std::string& title) {
            notifier_.showMessage(text, title);
        },
        this);
    if (editor.exec() != QDialog::Accepted) return;
    ScriptServices scripts = *services_.scripts;
    if (services_.moduleFolder) scripts.network.baseFolder = services_.moduleFolder();
    OpenScriptWindow(scripts, file, "", target, this);
}

void CCorvaneDlg::openNetworkMonitor() {
    if (!services_.launcher || !services_.moduleDialogs) {
        commands_.reportNotAvailable(command::kNetworkMonitor);
        return;
    }
    NetworkStatusDlg::Services s;
    s.manager = services_.manager;
    s.table = services_.table;
    s.launcher = services_.launcher;
    s.dialogs = services_.moduleDialogs;
    s.health = services_.health;
    s.clock = services_.clock;
    NetworkStatusDlg::open(s);
}

std::optional<std::string> CCorvaneDlg::chooseDeviceListFile(bool forExport) {
    if (hooks_.chooseDeviceListFile) return hooks_.chooseDeviceListFile(forExport);
    const QString title = forExport ? "Export" : "Compare";
    // Export names a file that need not exist yet, and replaces one that does without asking.
    const QString file =
        forExport ? QFileDialog::getSaveFileName(this, title, QString(), kDeviceListFilter, nullptr,
                                                 QFileDialog::DontConfirmOverwrite)
                  : QFileDialog::getOpenFileName(this, title, QString(), kDeviceListFilter);
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

void CCorvaneDlg::exportDeviceList() {
    const std::optional<std::string> chosen = chooseDeviceListFile(true);
    if (!chosen) return;
    const std::string path = DeviceListExportPath(*chosen);
    ExportFailure failure = ExportFailure::None;
    // A file that cannot be created is passed over in silence; one that could not be written
    // whole (a full disk) is not, since the user would take the earlier file for the new one.
    if (!ExportDeviceList(path, *services_.table, &failure) && failure == ExportFailure::NotWritten)
        notifier_.showMessage("The device list could not be written to " + path +
                                  "; the disk may be full. An earlier file of that name is kept.",
                              "File Error");
}

void CCorvaneDlg::compareDeviceLists() {
    if (!services_.moduleDialogs) {
        commands_.reportNotAvailable(command::kCompareDeviceLists);
        return;
    }
    if (const std::optional<std::string> chosen = chooseDeviceListFile(false))
        ShowDeviceListComparison(*chosen, *services_.table, *services_.moduleDialogs, this);
}

void CCorvaneDlg::changeQuickScriptFile() {
    const std::string current = settings_.quickScriptFileName().value();
    std::optional<std::string> chosen;
    if (hooks_.chooseScriptFile) {
        chosen = hooks_.chooseScriptFile(current);
    } else {
        const QString file = QFileDialog::getOpenFileName(
            this, "Change QuickScript File", QString::fromStdString(current), kQuickScriptFilter);
        if (!file.isEmpty()) chosen = file.toStdString();
    }
    if (chosen) settings_.quickScriptFileName().set(*chosen);
}

void CCorvaneDlg::connectSocketCan() {
    if (!commands_.socketCanAvailable()) return;
    const std::string current = commands_.socketCanInterface();
    std::optional<std::string> chosen;
    if (hooks_.askSocketCanInterface) {
        chosen = hooks_.askSocketCanInterface(current);
    } else {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, "SocketCAN", "CAN interface:", QLineEdit::Normal,
                                  QString::fromStdString(current), &ok);
        if (ok) chosen = name.trimmed().toStdString();
    }
    if (!chosen || chosen->empty()) return;
    commands_.connectSocketCan(*chosen);
}

void CCorvaneDlg::replayLog() {
    const std::optional<MainCommands::ReplayChoice> chosen =
        hooks_.chooseReplay ? hooks_.chooseReplay() : ReplayLogDlg::ask(this);
    if (chosen) commands_.replayLog(*chosen);
}

void CCorvaneDlg::recordTraffic() {
    if (commands_.recording()) {
        commands_.stopRecording();
        refreshTitle();
        return;
    }
    const std::optional<MainCommands::RecordingChoice> chosen =
        hooks_.chooseRecording ? hooks_.chooseRecording()
                               : RecordTrafficDlg::ask(this, commands_.storedRecordingOptions());
    if (chosen && commands_.startRecording(*chosen)) refreshTitle();
}

void CCorvaneDlg::exportReport() {
    std::optional<std::string> chosen;
    if (hooks_.chooseReportFile) {
        chosen = hooks_.chooseReportFile();
    } else {
        const QString file = QFileDialog::getSaveFileName(
            this, "Export Report", "coach-report.html", "Report pages (*.html)");
        if (!file.isEmpty()) chosen = file.toStdString();
    }
    if (chosen) commands_.exportReport(*chosen);
}

}  // namespace corvane
