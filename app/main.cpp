#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/CommandLine.h"
#include "app/HeadlessApp.h"
#include "app/QSettingsStore.h"
#include "platform/Clock.h"

namespace {

void onSignal(int) { corvane::HeadlessApp::requestStop(); }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    corvane::CommandLine cl = corvane::parseCommandLine(args);
    for (const auto& word : cl.unknown)
        std::fprintf(stderr, "corvane: ignoring %s\n", word.c_str());

    // The window comes later; until then every run is headless.
    QCoreApplication app(argc, argv);
    corvane::QSettingsStore settings;
    corvane::SystemClock clock;
    corvane::ApplicationCore core(settings, clock);
    if (cl.demo) core.startDemo();

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    corvane::HeadlessApp headless(core, stdout);
    std::printf("Corvane HP v2.3 (headless)%s. Ctrl-C ends.\n",
                cl.demo ? " on the simulated vehicle" : "");
    headless.start();
    return app.exec();
}
