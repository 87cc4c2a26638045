#include "app/MainWindowRun.h"

#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "app/CCorvaneDlg.h"
#include "app/DeviceListBox.h"
#include "app/DeviceRowLayout.h"
#include "app/KestrixLinkDlg.h"
#include "app/MainWindowParts.h"
#include "app/MenuRules.h"
#include "app/QtNotifier.h"
#include "app/traffic/TrafficDlg.h"
#include "core/Dgn.h"
#include "sim/SimulatedVehicle.h"

namespace corvane {

bool DisplayAvailable() {
    // A platform that shows nothing (offscreen, minimal) is no display for a user.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return !platform.startsWith("offscreen") && !platform.startsWith("minimal");
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

MainWindowServices MainWindowServicesOf(ApplicationCore& core,
                                        const std::string& executableFolder) {
    MainWindowServices s;
    s.settings = &core.settings();
    s.manager = &core.manager();
    s.table = &core.deviceTable();
    s.duties = &core.duties();
    s.adapters = &core.adapters();
    s.adapterSettings = &core.adapterSettings();
    s.noAdapter = &core.noAdapterConduit();
    s.ftSeries = &core.ftSeriesConduit();
    s.cloud = &core.cloudConduit();
    s.serial = &core.serialConduit();
    s.socketCan = &core.socketCanConduit();
    s.replay = &core.replayConduit();
    s.recorder = &core.recorder();
    s.health = &core.health();
    s.clock = &core.clock();
    s.transmit = &core.transmitPath();
    s.catalogue = &core.catalogue();
    s.updater = &core.updater();
    s.messageCatalogue = &core.messageCatalogue();
    s.executableFolder = executableFolder;
    return s;
}

ScriptServices ScriptServicesOf(ApplicationCore& core) {
    ScriptServices s;
    s.clock = &core.clock();
    s.network.transmit = &core.transmitPath();
    s.network.manager = &core.manager();
    s.network.devices = &core.deviceTable();
    s.network.shell = &core.shell();
    AdapterSelection& adapters = core.adapters();
    Conduit& none = core.noAdapterConduit();
    s.network.adapterSelected = [&adapters, &none] { return &adapters.current() != &none; };
    s.network.baseFolder = core.catalogue().moduleFolder();
    return s;
}

namespace {

// The picture should show the lamp colours too: the water heater (DSA 101) gets a red lamp and
// the tank system (DSA 72) a yellow one on the simulated vehicle.
void lightDemoLamps(ApplicationCore& core) {
    sim::SimulatedVehicle* vehicle = core.demoVehicle();
    if (!vehicle) return;
    for (const RVCDevice& d : core.deviceTable().devices()) {
        if (d.dsa == 101) vehicle->setStatus(d.sa, 0x45);
        if (d.dsa == 72) vehicle->setStatus(d.sa, 0x15);
    }
}

// The Traffic window's picture should show a named light that just changed: the first dimmer
// of the simulated load controller is named and dimmed to 60 %.
void stageTraffic(ApplicationCore& core) {
    constexpr uint32_t kDimmerStatus = 0x1FEDA;
    constexpr uint32_t kDimmerCommand = 0x1FEDB;
    TrafficDlg* traffic = TrafficDlg::instance();
    if (!traffic) return;
    const ValueTable& values = traffic->valueTable();
    for (size_t i = 0; i < values.size(); ++i) {
        const RowKey& key = values.row(i).key;
        if (key.dgn == kDimmerStatus && key.instance == 1)
            traffic->names().setName(key, "Galley light");
    }
    const uint8_t command[8] = {1, 0xFF, 120, 0, 0xFF, 0x00, 0xFF, 0xFF};
    core.transmitPath().send(kDimmerCommand, kToolAddress, 6, 8, command);
}

bool takeTrafficScreenshots(const std::string& prefix) {
    TrafficDlg* traffic = TrafficDlg::instance();
    if (!traffic) return false;
    bool saved = true;
    const char* const tabs[] = {"messages", "values"};
    for (int tab = 0; tab < 2; ++tab) {
        traffic->tabs()->setCurrentIndex(tab);
        const std::string path = prefix + "-" + tabs[tab] + ".png";
        const bool ok = traffic->grab().save(QString::fromStdString(path));
        std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "saved" : "could not save",
                     path.c_str());
        saved = saved && ok;
    }
    return saved;
}

bool takeScreenshot(CCorvaneDlg& window, const std::string& path) {
    // The Details box shows the lamps and fault bytes of a device with a lit lamp, red first.
    const DeviceRows& rows = window.deviceList().rows();
    int shown = 0;
    for (StateFill lamp : {StateFill::Yellow, StateFill::Red})
        for (int i = rows.count() - 1; i >= 0; --i)
            if (stateFillOf(rows.at(i).status) == lamp) shown = i;
    if (rows.count() > 0) window.deviceList().selectRow(shown);
    const bool saved = window.grab().save(QString::fromStdString(path));
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                 path.c_str());
    return saved;
}

}  // namespace

int runMainWindow(ApplicationCore& core, const MainWindowOptions& options) {
    QtNotifier notifier;
    const bool screenshot =
        !options.screenshotPath.empty() || !options.trafficScreenshotPrefix.empty();
    if (screenshot) {
        // Nobody is there to press OK.
        notifier.setShower([](const std::string& text, const std::string& title) {
            std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        });
    }
    MainWindowParts parts(core, QCoreApplication::applicationDirPath().toStdString());
    CCorvaneDlg window(parts.services(), notifier);
    notifier.setParent(&window);
    parts.setParent(&window);
    // Messages of the application-wide objects show as message boxes while the window is up,
    // and the cloud login asks with its dialog (unless a demo relay answers for the user).
    core.notifier().route(&notifier);
    KestrixLinkDlgAsker loginAsker(&window);
    const bool ownLogin = !core.loginPrompt().routed();
    if (ownLogin) core.loginPrompt().route(&loginAsker);
    if (screenshot) {
        const bool traffic = !options.trafficScreenshotPrefix.empty();
        QTimer::singleShot(options.screenshotDelayMs / 2, &window, [&core, &window, traffic] {
            lightDemoLamps(core);
            if (traffic) window.command(command::kTraffic);
        });
        if (traffic)
            QTimer::singleShot(options.screenshotDelayMs * 4 / 5, &window,
                               [&core] { stageTraffic(core); });
        QTimer::singleShot(options.screenshotDelayMs, &window, [&window, &options] {
            bool saved = true;
            if (!options.trafficScreenshotPrefix.empty())
                saved = takeTrafficScreenshots(options.trafficScreenshotPrefix);
            if (!options.screenshotPath.empty())
                saved = takeScreenshot(window, options.screenshotPath) && saved;
            window.done(saved ? 0 : 1);
        });
    }
    window.show();
    window.raise();
    window.activateWindow();
    const int result = window.exec();
    core.notifier().route(nullptr);
    if (ownLogin) core.loginPrompt().route(nullptr);
    return screenshot ? result : 0;
}

}  // namespace corvane
