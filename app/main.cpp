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
#include "cli/ProgramCommandLine.h"
#include "cli/ProgramVersion.h"
#include "platform/Clock.h"
#include "platform/InstanceLock.h"

namespace {

void onSignal(int) { corvane::HeadlessApp::requestStop(); }

const corvane::ProgramCommandLine commandLine(
    "corvane",
    "usage: corvane [--headless] [--debug-port] [-NOUPDATES]\n"
    "               [--serial-port PATH | --socketcan IFACE |\n"
    "                --replay LOG [--replay-speed X] [--replay-loop] |\n"
    "                --demo [--demo-adapter vexor|ft|cloud] [--demo-modules FOLDER]]\n"
    "               [--record FOLDER [--record-minutes N] [--record-mb N] [--keep-days N]\n"
    "                [--keep-gb N] [--record-compress none|gz|zst]]  (with --headless)\n"
    "               [--screenshot FILE] [--screenshot-traffic PREFIX]\n"
    "       corvane --help | --version\n");

// Takes "OPTION FILE" (--screenshot, --screenshot-traffic) out of the arguments; the rest is
// the ordinary command line.
std::string takeScreenshotOption(std::vector<std::string>& args, const char* option) {
    for (size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == option) {
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
    for (size_t i = 1; i < args.size(); ++i) {
        if (auto status = commandLine.answerStandard(args[i])) return *status;
    }
    corvane::MainWindowOptions windowOptions;
    windowOptions.screenshotPath = takeScreenshotOption(args, "--screenshot");
    windowOptions.trafficScreenshotPrefix = takeScreenshotOption(args, "--screenshot-traffic");
    corvane::CommandLine cl = corvane::parseCommandLine(args);
    if (!cl.unknown.empty())
        return commandLine.refuse("unknown option or missing value: " + cl.unknown.front());
    // Refused before anything starts, display or not: recording is for unattended runs.
    if (!cl.recordFolder.empty() && !cl.headless)
        return commandLine.refuse("--record records headless runs only (add --headless)");

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
    corvane::StartOptions start = corvane::startOptionsOf(cl);
    start.catalogueFolder = settings.folder + "/catalogues";
    // The debug port and the module catalogue first; the update decision before anything
    // touches the network, so that a start handed over to the updater opens no adapter.
    corvane::ApplicationCore core(*settings.store, clock, start);
    std::string words;
    for (const auto& a : args) words += a + " ";
    if (!cl.demo && core.decideStartupUpdate(words) == corvane::Updater::StartupOutcome::Started) {
        return 0;  // the updater takes over
    }
    core.startNetwork();

    if (window) return corvane::runMainWindow(core, windowOptions);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    corvane::HeadlessApp headless(core, stdout);
    const std::string source = cl.demo                  ? " on the simulated vehicle"
                               : !cl.replayFile.empty() ? " replaying " + cl.replayFile
                               : !cl.socketCan.empty()  ? " on " + cl.socketCan
                                                        : std::string();
    std::printf("Corvane HP v%s (headless)%s. Ctrl-C ends.\n",
                corvane::ProgramVersion::text().c_str(), source.c_str());
    // Where the modules come from, which a demo chooses by itself; at once, even into a pipe.
    std::printf("Modules: %zu in %s\n", core.catalogue().modules().size(),
                core.catalogue().moduleFolder().c_str());
    std::fflush(stdout);
    if (!cl.recordFolder.empty() &&
        !headless.startRecording(cl.recordFolder, cl.recording.settings(*settings.store), stderr))
        return 1;
    headless.start();
    return app->exec();
}
