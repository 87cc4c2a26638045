#include "app/MainWindowRun.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "app/CCorvaneDlg.h"
#include "app/DeviceListBox.h"
#include "app/QtNotifier.h"

namespace corvane {

bool DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
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
    s.serial = &core.serialConduit();
    s.transmit = &core.transmitPath();
    s.executableFolder = executableFolder;
    return s;
}

namespace {

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
    CCorvaneDlg window(
        MainWindowServicesOf(core, QCoreApplication::applicationDirPath().toStdString()), notifier);
    notifier.setParent(&window);
    // Messages of the application-wide objects show as message boxes while the window is up.
    core.notifier().route(&notifier);
    if (screenshot) {
        QTimer::singleShot(options.screenshotDelayMs, &window,
                           [&window, &options] { takeScreenshot(window, options.screenshotPath); });
    }
    window.show();
    window.raise();
    window.activateWindow();
    const int result = window.exec();
    core.notifier().route(nullptr);
    return screenshot ? result : 0;
}

}  // namespace corvane
