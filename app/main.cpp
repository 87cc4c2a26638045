#include <QApplication>
#include <QCoreApplication>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/CommandLine.h"
#include "app/HeadlessApp.h"
#include "app/MainWindowRun.h"
#include "app/SettingsOpener.h"
#include "platform/Clock.h"
#include "platform/InstanceLock.h"

namespace {

void onSignal(int) { corvane::HeadlessApp::requestStop(); }

// Takes "--screenshot FILE" out of the arguments; the rest is the ordinary command line.
std::string takeScreenshotOption(std::vector<std::string>& args) {
    for (size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--screenshot") {
            std::string path = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
            return path;
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    corvane::MainWindowOptions windowOptions;
    windowOptions.screenshotPath = takeScreenshotOption(args);
    corvane::CommandLine cl = corvane::parseCommandLine(args);
    for (const auto& word : cl.unknown)
        std::fprintf(stderr, "corvane: ignoring %s\n", word.c_str());

    // One copy of the program at a time. A runtime folder that others could tamper with is
    // not used at all: that ends the start with an error, not as if a copy were running.
    corvane::InstanceLockAttempt instance = corvane::InstanceLock::tryAcquire();
    switch (instance.refusal) {
        case corvane::InstanceLock::Refusal::None:
            break;
        case corvane::InstanceLock::Refusal::HeldElsewhere:
            std::fprintf(stderr, "corvane: another copy is already running (runtime folder %s)\n",
                         instance.folder.c_str());
            return 0;
        case corvane::InstanceLock::Refusal::FolderUnusable:
            std::fprintf(stderr, "corvane: the runtime folder %s is refused: it %s\n",
                         instance.folder.c_str(), instance.reason.c_str());
            return 1;
        case corvane::InstanceLock::Refusal::LockFileUnusable:
            std::fprintf(stderr, "corvane: the single-instance lock cannot be taken: %s\n",
                         instance.reason.c_str());
            return 1;
    }

    const bool window = !cl.headless && corvane::DisplayAvailable();
    std::unique_ptr<QCoreApplication> app;
    if (window) {
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Qt adopts the user's locale; script values and reports print numbers with a point.
    std::setlocale(LC_NUMERIC, "C");

    corvane::SettingsOpener::Result settings = corvane::SettingsOpener::open();
    if (!settings.setAsideAs.empty())
        std::fprintf(stderr, "corvane: the settings file could not be read; kept as %s\n",
                     settings.setAsideAs.c_str());
    if (settings.inMemoryOnly)
        std::fprintf(stderr,
                     "corvane: the settings file could not be read; changes are kept "
                     "for this run only\n");
    corvane::SystemClock clock;
    const corvane::StartOptions start = corvane::startOptionsOf(cl);
    corvane::ApplicationCore core(*settings.store, clock, start);
    std::string commandLine;
    for (const auto& a : args) commandLine += a + " ";
    if (!cl.demo &&
        core.decideStartupUpdate(commandLine) == corvane::Updater::StartupOutcome::Started) {
        return 0;  // the updater takes over
    }

    if (window) return corvane::runMainWindow(core, windowOptions);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    corvane::HeadlessApp headless(core, stdout);
    const std::string source = cl.demo                  ? " on the simulated vehicle"
                               : !cl.replayFile.empty() ? " replaying " + cl.replayFile
                               : !cl.socketCan.empty()  ? " on " + cl.socketCan
                                                        : std::string();
    std::printf("Corvane HP v2.3 (headless)%s. Ctrl-C ends.\n", source.c_str());
    headless.start();
    return app->exec();
}
