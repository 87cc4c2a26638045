#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "adapters/VexorSeriesConduit.h"
#include "app/ApplicationCore.h"
#include "app/HeadlessApp.h"
#include "platform/MemorySettingsStore.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"
#include "tests/app/MainWindowHarness.h"

namespace corvane {
namespace {

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Runs the event loop (the headless run's timer) until `done` holds or `limitMs` passed.
template <typename Done>
bool pumpUntil(Done done, int limitMs) {
    QElapsedTimer since;
    since.start();
    while (!done()) {
        if (since.elapsed() >= limitMs) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// An unattended run on a serial adapter reached through a stable device link, as udev gives
// one: the adapter is pulled out and plugged in again (a new terminal behind the same link).
// The run connects again by itself and says so once each way.
TEST(HeadlessApp, ReconnectsBySelfWhenTheSerialAdapterComesBack) {
    test::ensureApplication();
    QTemporaryDir runtime;
    QTemporaryDir scratch;
    ASSERT_TRUE(runtime.isValid() && scratch.isValid());
    setenv("CORVANE_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    const std::string link = scratch.path().toStdString() + "/ttyVexor";
    const std::string outPath = scratch.path().toStdString() + "/out.txt";
    auto output = [&] {
        std::ifstream in(outPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };

    sim::SimulatedVehicle vehicle;
    sim::VexorEmulator emulator(vehicle);
    ASSERT_TRUE(emulator.start());
    std::filesystem::create_symlink(emulator.path(), link);

    MemorySettingsStore settings;
    SystemClock clock;
    StartOptions options;
    options.serialPort = link;
    options.debugPortNumber = 0;
    std::FILE* out = std::fopen(outPath.c_str(), "w");
    ASSERT_NE(out, nullptr);
    {
        ApplicationCore core(settings, clock, options);
        auto& serial = dynamic_cast<VexorSeriesConduit&>(core.serialConduit());
        HeadlessApp app(core, out);
        app.start();
        // "Connect on Startup" finds the adapter behind the link.
        ASSERT_TRUE(pumpUntil([&] { return serial.connected(); }, 5000));

        emulator.stop();
        ASSERT_TRUE(pumpUntil([&] { return countOf(output(), "adapter lost") == 1; }, 5000));
        EXPECT_FALSE(serial.connected());

        ASSERT_TRUE(emulator.start());
        const uint64_t writtenBefore = emulator.framesWritten();
        std::filesystem::remove(link);
        std::filesystem::create_symlink(emulator.path(), link);
        ASSERT_TRUE(pumpUntil([&] { return countOf(output(), "is back") == 1; }, 10000))
            << output();
        EXPECT_TRUE(serial.connected());
        EXPECT_TRUE(pumpUntil([&] { return emulator.framesWritten() > writtenBefore; }, 3000));
        EXPECT_EQ(countOf(output(), "adapter lost"), 1u) << output();
    }
    std::fclose(out);
    unsetenv("CORVANE_RUNTIME_DIR");
}

}  // namespace
}  // namespace corvane
