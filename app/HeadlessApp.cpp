#include "app/HeadlessApp.h"

#include <QCoreApplication>
#include <atomic>
#include <ctime>
#include <optional>
#include <string>

#include "app/ConnectionStatus.h"
#include "app/DeviceListText.h"
#include "app/health/FaultTimes.h"
#include "health/ReportFormats.h"
#include "platform/IntegerSetting.h"

namespace corvane {

namespace {

// The one thing a signal handler may touch.
std::atomic<bool> stopRequested{false};

constexpr int kTicksPerPrint = 1000 / PeriodicDuties::kTickMs;

std::string timeOfDay(const Clock& clock) {
    const std::optional<std::tm> now = clock.localNow();
    if (!now) return "--:--:--";
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &*now);
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
    // As with the window: the debug port is opened for one run at a time.
    IntegerSetting(core.settings(), "Corvane", "DebugPortEnabled", 0).set(0);
}

void HeadlessApp::start() { timer_.start(PeriodicDuties::kTickMs); }

bool HeadlessApp::startRecording(const std::string& folder, const RotationSettings& settings,
                                 std::FILE* err) {
    if (!core_.recorder().startFolder(folder, settings)) {
        std::fprintf(err, "corvane: cannot record into %s (not a folder, or a recording runs)\n",
                     folder.c_str());
        return false;
    }
    err_ = err;
    dropsReported_ = 0;
    std::fprintf(out_, "Recording into %s\n", folder.c_str());
    std::fflush(out_);
    return true;
}

void HeadlessApp::reportDrops() {
    const uint64_t dropped = core_.recorder().dropped();
    if (dropped == dropsReported_) return;
    std::fprintf(err_, "corvane: %llu frames not recorded so far: the disk cannot keep up\n",
                 static_cast<unsigned long long>(dropped));
    std::fflush(err_);
    dropsReported_ = dropped;
}

void HeadlessApp::stopRecording() {
    if (err_ == nullptr) return;
    TrafficRecorder& recorder = core_.recorder();
    const bool ok = recorder.stop();
    std::fprintf(err_, "corvane: recording stopped: %llu frames recorded, %llu dropped%s\n",
                 static_cast<unsigned long long>(recorder.frameCount()),
                 static_cast<unsigned long long>(recorder.dropped()),
                 ok ? "" : ", and a write failed (the disk may be full)");
    std::fflush(err_);
    err_ = nullptr;
}

void HeadlessApp::requestStop() { stopRequested.store(true); }

void HeadlessApp::tick() {
    if (stopRequested.load()) {
        timer_.stop();
        stopRecording();
        QCoreApplication::quit();
        return;
    }
    core_.tick(false);
    watch_.step();
    if (++ticks_ % kTicksPerPrint == 0) printDeviceList();
    if (err_ != nullptr && ticks_ % (kTicksPerPrint * kDropReportSeconds) == 0) reportDrops();
}

void HeadlessApp::printEvent(const std::string& text) {
    std::fprintf(out_, "\n== %s  %s\n", timeOfDay(core_.clock()).c_str(), text.c_str());
    std::fflush(out_);
}

void HeadlessApp::printDeviceList() {
    const bool phantoms = core_.manager().showPhantoms();
    const auto lines = deviceListLines(core_.deviceTable(), phantoms);
    const auto net = core_.manager().networkStats();
    // A replay under way says how far it has come, as the window's title does.
    std::string replay;
    const ReplayConduit& log = core_.replayConduit();
    if (log.playing() && !log.finished() && log.framesPlayed() > 0)
        replay = "  replay " + ConnectionStatus::replayPositionOf(log.logTime() - log.logStart(),
                                                                  log.percentRead());
    std::fprintf(out_, "\n== %s  %zu device(s)  %d frames/s  overruns %d%s%s\n",
                 timeOfDay(core_.clock()).c_str(), lines.size() - 1, net.rate,
                 core_.manager().overruns(), phantoms ? "  (phantoms shown)" : "", replay.c_str());
    for (const auto& l : lines) std::fprintf(out_, "%s\n", l.c_str());
    // What is wrong, in words, under the list it explains.
    const auto& faults = core_.health().report().activeFaults;
    if (!faults.empty()) std::fprintf(out_, " Active faults:\n");
    const auto timeText = faultTimeText(&core_.clock());
    for (const auto& f : faults) {
        std::fprintf(out_, "  %s: %s\n", f.device.c_str(),
                     health::faultSentence(f, timeText).c_str());
    }
    std::fflush(out_);
}

}  // namespace corvane
