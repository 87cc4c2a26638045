#include "app/HeadlessApp.h"

#include <QCoreApplication>
#include <atomic>
#include <ctime>
#include <string>

#include "app/DeviceListText.h"

namespace corvane {

namespace {

// The one thing a signal handler may touch.
std::atomic<bool> stopRequested{false};

constexpr int kTicksPerPrint = 1000 / PeriodicDuties::kTickMs;

std::string timeOfDay() {
    std::time_t now = std::time(nullptr);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&now));
    return stamp;
}

}  // namespace

HeadlessApp::HeadlessApp(ApplicationCore& core, std::FILE* out, QObject* parent)
    : QObject(parent),
      core_(core),
      out_(out),
      watch_(core.adapters(),
             {{&core.serialConduit(), "Vexor-series adapter"},
              {&core.ftSeriesConduit(), "FT-series adapter"},
              {&core.socketCanConduit(), "SocketCAN interface"}},
             core.notifier(), core.clock(), [this](const std::string& text) { printEvent(text); }) {
    connect(&timer_, &QTimer::timeout, this, &HeadlessApp::tick);
}

void HeadlessApp::start() { timer_.start(PeriodicDuties::kTickMs); }

void HeadlessApp::requestStop() { stopRequested.store(true); }

void HeadlessApp::tick() {
    if (stopRequested.load()) {
        timer_.stop();
        QCoreApplication::quit();
        return;
    }
    core_.tick(false);
    watch_.step();
    if (++ticks_ % kTicksPerPrint == 0) printDeviceList();
}

void HeadlessApp::printEvent(const std::string& text) {
    std::fprintf(out_, "\n== %s  %s\n", timeOfDay().c_str(), text.c_str());
    std::fflush(out_);
}

void HeadlessApp::printDeviceList() {
    const bool phantoms = core_.manager().showPhantoms();
    const auto lines = deviceListLines(core_.deviceTable(), phantoms);
    const auto net = core_.manager().networkStats();
    std::fprintf(out_, "\n== %s  %zu device(s)  %d frames/s  overruns %d%s\n", timeOfDay().c_str(),
                 lines.size() - 1, net.rate, core_.manager().overruns(),
                 phantoms ? "  (phantoms shown)" : "");
    for (const auto& l : lines) std::fprintf(out_, "%s\n", l.c_str());
    std::fflush(out_);
}

}  // namespace corvane
