// The Traffic window at a full bus, measured: the simulated vehicle behind its emulated serial
// adapter with 4,000 extra frames a second, the window open and decoding all of it, and a
// 10 ms timer on the user-interface thread the whole while (the stall probe of the window
// tests). Reports the 99th percentile and the longest gap between the timer's ticks: how long
// the window could not answer. On the offscreen platform; run it on a quiet machine, as
// gaps include whatever else the machine did to the process.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/ApplicationCore.h"
#include "app/CCorvaneDlg.h"
#include "app/MainWindowRun.h"
#include "app/MenuRules.h"
#include "app/QtNotifier.h"
#include "app/traffic/TrafficDlg.h"
#include "app/traffic/TrafficLog.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"
#include "tests/app/StallProbe.h"

namespace {

using namespace corvane;

constexpr int kLoadFramesPerSecond = 4000;
constexpr int kWarmUpMs = 3000;     // the demo's devices come and the window fills up
constexpr int kMeasuredMs = 15000;  // under the list's 100,000 rows at this rate

QApplication& application() {
    static int argc = 1;
    static char name[] = "bench_traffic_window";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_TrafficWindowAtAFullBus(benchmark::State& state) {
    application();
    QTemporaryDir runtime;
    setenv("CORVANE_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    for (auto _ : state) {
        MemorySettingsStore settings;
        SystemClock clock;
        StartOptions options;
        options.demo = DemoAdapter::Vexor;
        options.demoLoad = kLoadFramesPerSecond;
        ApplicationCore core(settings, clock, options);
        core.startNetwork();
        QtNotifier notifier;
        notifier.setShower([](const std::string&, const std::string&) {});
        auto window = std::make_unique<CCorvaneDlg>(
            MainWindowServicesOf(core, runtime.path().toStdString()), notifier);
        window->show();
        window->command(command::kTraffic);
        TrafficDlg* traffic = TrafficDlg::instance();
        if (traffic == nullptr) {
            state.SkipWithError("the Traffic window did not open");
            break;
        }
        runEvents(kWarmUpMs);

        const size_t listedBefore = traffic->log().size();
        QElapsedTimer measured;
        measured.start();
        test::StallProbe probe;
        runEvents(kMeasuredMs);
        probe.stop();
        const double seconds = static_cast<double>(measured.elapsed()) / 1000.0;
        const size_t listed = traffic->log().size() - listedBefore;

        state.counters["p99_gap_ms"] = static_cast<double>(probe.gapPercentileMs(0.99));
        state.counters["p95_gap_ms"] = static_cast<double>(probe.gapPercentileMs(0.95));
        state.counters["worst_gap_ms"] = static_cast<double>(probe.longestGapMs());
        state.counters["listed_per_s"] = static_cast<double>(listed) / seconds;
        if (traffic->log().size() >= TrafficLog::kCapacity) {
            state.counters["list_full"] = 1;  // listed_per_s undercounts
        }
        traffic->accept();
        runEvents(100);  // the window's deferred delete
        window.reset();
    }
    unsetenv("CORVANE_RUNTIME_DIR");
}
BENCHMARK(BM_TrafficWindowAtAFullBus)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
