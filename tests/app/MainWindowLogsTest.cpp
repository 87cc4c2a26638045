#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "adapters/CandumpLogReader.h"
#include "app/ApplicationCore.h"
#include "app/CCorvaneDlg.h"
#include "app/DeviceListBox.h"
#include "app/MainWindowRun.h"
#include "app/QtNotifier.h"
#include "platform/CanSocket.h"
#include "platform/MemorySettingsStore.h"
#include "tests/app/MainWindowHarness.h"

namespace corvane {
namespace {

using Message = std::pair<std::string, std::string>;

// The real window on an application core with no adapter, its choosers answered by the test
// and every message it or the adapters show collected.
class LogsWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ensureApplication();
        ASSERT_TRUE(runtime_.isValid());
        setenv("CORVANE_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
        start(StartOptions{});
    }

    void start(const StartOptions& options) {
        window_.reset();
        core_.reset();
        core_ = std::make_unique<ApplicationCore>(settings_, clock_, options);
        notifier_.setShower([this](const std::string& text, const std::string& title) {
            messages_.emplace_back(text, title);
        });
        core_->notifier().route(&notifier_);
        window_ = std::make_unique<CCorvaneDlg>(
            MainWindowServicesOf(*core_, runtime_.path().toStdString()), notifier_);
        window_->setHooks(hooks_);
    }

    void TearDown() override {
        if (core_) core_->notifier().route(nullptr);
        window_.reset();
        core_.reset();
    }

    // Runs the window's event loop until `done` holds or `ms` have passed.
    template <typename Done>
    bool runUntil(Done done, int ms = 5000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    bool sawMessage(const std::string& start) const {
        for (const Message& m : messages_)
            if (m.first.rfind(start, 0) == 0) return true;
        return false;
    }

    QTemporaryDir runtime_;
    MemorySettingsStore settings_;
    SystemClock clock_;
    QtNotifier notifier_;
    std::vector<Message> messages_;
    CCorvaneDlg::Hooks hooks_;
    std::unique_ptr<ApplicationCore> core_;
    std::unique_ptr<CCorvaneDlg> window_;
};

const std::string kDemoLog = std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(LogsWindow, ReplayFillsTheListWhileTheRecordingCountsInTheTitle) {
    const std::string recording = runtime_.filePath("recorded.log").toStdString();
    hooks_.chooseRecordingFile = [&] { return std::optional<std::string>(recording); };
    hooks_.chooseReplay = [] {
        return std::optional<MainCommands::ReplayChoice>(
            MainCommands::ReplayChoice{kDemoLog, ReplayConduit::kAsFastAsPossible, false});
    };
    window_->setHooks(hooks_);
    const QString plainTitle = window_->windowTitle();

    window_->command(command::kRecordTraffic);
    ASSERT_TRUE(core_->recorder().recording());
    EXPECT_TRUE(
        MenuRules::stateOf(command::kRecordTraffic, window_->commands().menuState()).checked);

    window_->command(command::kReplayLog);
    EXPECT_TRUE(core_->adapters().isCurrent(core_->replayConduit()));
    EXPECT_TRUE(MenuRules::stateOf(command::kReplayLog, window_->commands().menuState()).checked);
    ASSERT_TRUE(runUntil([&] { return core_->replayConduit().finished(); }));
    // The next statistics steps list the devices and put the count in the title.
    ASSERT_TRUE(runUntil([&] {
        return window_->deviceList().count() >= 5 && window_->windowTitle() != plainTitle;
    })) << window_->deviceList().count()
        << " rows, " << core_->deviceTable().devices().size() << " devices, title "
        << window_->windowTitle().toStdString();
    EXPECT_TRUE(window_->windowTitle().startsWith(plainTitle + " - Recording: "))
        << window_->windowTitle().toStdString();
    EXPECT_TRUE(runUntil([&] { return sawMessage("Replay finished: "); }));
    EXPECT_TRUE(sawMessage("Replay finished: 1929 frames played, 0 lines skipped."));

    window_->command(command::kRecordTraffic);
    EXPECT_FALSE(core_->recorder().recording());
    EXPECT_EQ(window_->windowTitle(), plainTitle);
    const uint64_t recorded = core_->recorder().frameCount();
    EXPECT_TRUE(sawMessage("Recording stopped: " + std::to_string(recorded) + " frames written."));
    // Every frame played was taken in and recorded, but for any the diverted intake could not
    // hold while the list was rebuilt.
    EXPECT_EQ(recorded + static_cast<uint64_t>(core_->manager().overruns()),
              core_->replayConduit().framesPlayed());

    const std::string text = readAll(recording);
    CandumpLogReader reader(text);
    CandumpRecord record;
    uint64_t frames = 0;
    while (reader.next(record)) ++frames;
    EXPECT_EQ(frames, recorded);
    EXPECT_EQ(reader.skipped(), 0u);
}

TEST_F(LogsWindow, AReplayThatCannotStartSaysWhyAndLeavesNoAdapter) {
    hooks_.chooseReplay = [&] {
        return std::optional<MainCommands::ReplayChoice>(
            MainCommands::ReplayChoice{runtime_.filePath("missing.log").toStdString(), 1.0, false});
    };
    hooks_.chooseRecordingFile = [&] {
        return std::optional<std::string>(runtime_.filePath("no/such/folder.log").toStdString());
    };
    window_->setHooks(hooks_);
    window_->command(command::kReplayLog);
    EXPECT_TRUE(core_->adapters().isCurrent(core_->noAdapterConduit()));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].second, ReplayConduit::kTitle);
    EXPECT_FALSE(window_->commands().menuState().replayState == Conduit::kConnected);

    window_->command(command::kRecordTraffic);
    EXPECT_FALSE(core_->recorder().recording());
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1].second, MainCommands::kRecordingTitle);
}

TEST_F(LogsWindow, SocketCanAsksForTheRememberedInterfaceOrSaysThereIsNoSupport) {
    std::vector<std::string> offered;
    hooks_.askSocketCanInterface = [&](const std::string& current) {
        offered.push_back(current);
        return std::optional<std::string>("corvanenone7");
    };
    window_->setHooks(hooks_);
    window_->command(command::kSocketCan);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].second, SocketCanConduit::kErrorTitle);
    EXPECT_TRUE(core_->adapters().isCurrent(core_->noAdapterConduit()));
    if (!CanSocket::supported()) {
        EXPECT_EQ(messages_[0].first, SocketCanConduit::kUnsupportedText);
        EXPECT_TRUE(offered.empty());
        return;
    }
    EXPECT_EQ(offered, std::vector<std::string>{"can0"});
    EXPECT_EQ(messages_[0].first, "There is no CAN interface named \"corvanenone7\".");
    // The name is remembered for the next time.
    EXPECT_EQ(settings_.readString("Corvane", "SocketCanInterface"), "corvanenone7");
    window_->command(command::kSocketCan);
    EXPECT_EQ(offered.back(), "corvanenone7");
}

TEST_F(LogsWindow, ReplayOnTheCommandLineConnectsAtStartUp) {
    StartOptions options;
    options.replayFile = kDemoLog;
    options.replaySpeed = ReplayConduit::kAsFastAsPossible;
    options.replayLoop = true;
    start(options);
    EXPECT_TRUE(core_->adapters().isCurrent(core_->replayConduit()));
    // Looping: it goes round more than once and does not finish.
    ASSERT_TRUE(runUntil([&] { return core_->replayConduit().passes() >= 2; }));
    EXPECT_FALSE(core_->replayConduit().finished());
    ASSERT_TRUE(runUntil([&] { return window_->deviceList().count() >= 5; }));
    window_->command(command::kDisconnect);
    EXPECT_FALSE(core_->replayConduit().playing());
    EXPECT_EQ(window_->deviceList().count(), 0);
}

}  // namespace
}  // namespace corvane
