#include "app/MainWindowRun.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "app/CCorvaneDlg.h"
#include "app/DeviceListBox.h"
#include "app/KestrixLinkDlg.h"
#include "app/MainWindowParts.h"
#include "app/QtNotifier.h"
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
    s.transmit = &core.transmitPath();
    s.catalogue = &core.catalogue();
    s.updater = &core.updater();
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

void takeScreenshot(CCorvaneDlg& window, const std::string& path) {
    if (window.deviceList().count() > 0) window.deviceList().selectRow(0);
    const bool saved = window.grab().save(QString::fromStdString(path));
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                 path.c_str());
    window.done(saved ? 0 : 1);
}

}  // namespace

int runMainWindow(ApplicationCore& core, const MainWindowOptions& options) {
    QtNotifier notifier;
    const bool screenshot = !options.screenshotPath.empty();
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
    const bool ownLogin = !core.loginDialog().routed();
    if (ownLogin) core.loginDialog().route(&loginAsker);
    if (screenshot) {
        QTimer::singleShot(options.screenshotDelayMs / 2, &window,
                           [&core] { lightDemoLamps(core); });
        QTimer::singleShot(options.screenshotDelayMs, &window,
                           [&window, &options] { takeScreenshot(window, options.screenshotPath); });
    }
    window.show();
    window.raise();
    window.activateWindow();
    const int result = window.exec();
    core.notifier().route(nullptr);
    if (ownLogin) core.loginDialog().route(nullptr);
    return screenshot ? result : 0;
}

}  // namespace corvane
