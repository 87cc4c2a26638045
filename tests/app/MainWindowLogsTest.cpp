#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "adapters/CandumpLogFormat.h"
#include "adapters/CandumpLogReader.h"
#include "app/CCorvaneDlg.h"
#include "app/DeviceListBox.h"
#include "app/KestrixLinkDlg.h"
#include "app/MainWindowRun.h"
#include "app/QtNotifier.h"
#include "app/RecordTrafficDlg.h"
#include "app/ReplayLogDlg.h"
#include "logs/LogFrameReader.h"
#include "logs/RecordingFolder.h"
#include "logs/TrafficRecorder.h"
#include "platform/CanSocket.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/support/FreshFolders.h"
#include "tests/support/TestCore.h"

namespace corvane {
namespace {

using Message = std::pair<std::string, std::string>;

// The real window on an application core with no adapter, its choosers answered by the test
// and every message it or the adapters show collected.
class LogsWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ensureApplication();
        ASSERT_TRUE(folders_.valid());
        start(StartOptions{});
    }

    void start(const StartOptions& options) {
        window_.reset();
        core_.start(options);
        notifier_.setShower([this](const std::string& text, const std::string& title) {
            messages_.emplace_back(text, title);
        });
        core_->notifier().route(&notifier_);
        window_ = std::make_unique<CCorvaneDlg>(MainWindowServicesOf(*core_, folders_.runtime()),
                                                notifier_);
        window_->setHooks(hooks_);
    }

    void TearDown() override {
        if (core_.started()) core_->notifier().route(nullptr);
        window_.reset();
        core_.stop();
    }

    bool sawMessage(const std::string& start) const {
        for (const Message& m : messages_)
            if (m.first.rfind(start, 0) == 0) return true;
        return false;
    }

    test::FreshFolders folders_;
    test::TestCore core_;
    QtNotifier notifier_;
    std::vector<Message> messages_;
    CCorvaneDlg::Hooks hooks_;
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
    const std::string recording = folders_.scratch("recorded.log");
    hooks_.chooseRecording = [&] {
        MainCommands::RecordingChoice choice;
        choice.path = recording;
        return std::optional(choice);
    };
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
    ASSERT_TRUE(test::pumpUntil([&] { return core_->replayConduit().finished(); }));
    // The next statistics steps list the devices and put the count in the title.
    ASSERT_TRUE(test::pumpUntil([&] {
        return window_->deviceList().count() >= 5 && window_->windowTitle() != plainTitle;
    })) << window_->deviceList().count()
        << " rows, " << core_->deviceTable().devices().size() << " devices, title "
        << window_->windowTitle().toStdString();
    EXPECT_TRUE(window_->windowTitle().startsWith(plainTitle + " - Recording: "))
        << window_->windowTitle().toStdString();
    EXPECT_TRUE(test::pumpUntil([&] { return sawMessage("Replay finished: "); }));
    EXPECT_TRUE(sawMessage("Replay finished: 2769 frames played, 0 lines skipped."));

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

// "Record Traffic..." into a folder cuts the files as the settings say and keeps the values
// for the next time; frames the writer cannot keep up with are in the title while recording.
TEST_F(LogsWindow, RecordingIntoAFolderRotatesAndTheTitleCountsDrops) {
    constexpr uint32_t kFrames = 150'000;  // well over what the recorder's queue holds
    const std::string log = folders_.scratch("busy.log");
    {
        std::ofstream out(log);
        char line[kCandumpLineMax];
        const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        for (uint32_t i = 0; i < kFrames; ++i)
            out.write(line, static_cast<std::streamsize>(
                                formatCandumpLine(1'765'000'000'000'000 + int64_t{i} * 100, "can0",
                                                  0x19FFD442, 8, data, line)));
    }
    const std::string folder = folders_.scratch("recordings");
    std::filesystem::create_directories(folder);
    MainCommands::RecordingChoice choice{folder, true, {}};
    choice.options.fileMinutes = 0;
    choice.options.fileMB = 1;
    choice.options.keepDays = 0;
    choice.options.keepGB = 0;
    choice.options.compression = LogCompression::None;
    hooks_.chooseRecording = [&] { return std::optional(choice); };
    hooks_.chooseReplay = [&] {
        return std::optional(
            MainCommands::ReplayChoice{log, ReplayConduit::kAsFastAsPossible, false});
    };
    window_->setHooks(hooks_);
    const QString plainTitle = window_->windowTitle();

    window_->command(command::kRecordTraffic);
    TrafficRecorder& recorder = core_->recorder();
    ASSERT_TRUE(recorder.recording());
    EXPECT_EQ(core_.settings.readInteger("Recording", "FileMB"), 1);
    // A writer that cannot keep up: the queue fills and the rest is dropped.
    recorder.holdWriter(true);
    window_->command(command::kReplayLog);
    // 150,000 frames through the whole tool: seconds on a busy machine under the sanitizers.
    ASSERT_TRUE(test::pumpUntil([&] { return core_->replayConduit().finished(); },
                                std::chrono::seconds(120)));
    ASSERT_GT(recorder.dropped(), 0u);
    const std::string expected = plainTitle.toStdString() +
                                 " - Recording: " + std::to_string(recorder.frameCount()) +
                                 " frames, " + std::to_string(recorder.dropped()) + " dropped";
    EXPECT_TRUE(test::pumpUntil([&] { return window_->windowTitle().toStdString() == expected; }))
        << window_->windowTitle().toStdString();

    recorder.holdWriter(false);
    window_->command(command::kRecordTraffic);
    EXPECT_FALSE(recorder.recording());
    EXPECT_TRUE(sawMessage("Recording stopped: " + std::to_string(recorder.frameCount()) +
                           " frames written. " + std::to_string(recorder.dropped()) +
                           " frames were dropped"));
    EXPECT_EQ(recorder.frameCount() + recorder.dropped() +
                  static_cast<uint64_t>(core_->manager().overruns()),
              core_->replayConduit().framesPlayed());
    // About 3 MB in files of 1 MB, named in order, every frame in one of them.
    const auto files = RecordingFolder(folder).list();
    EXPECT_GE(files.size(), 3u);
    uint64_t frames = 0;
    for (const auto& f : files) {
        EXPECT_LE(f.bytes, (uint64_t{1} << 20) + kCandumpLineMax);
        LogFrameReader reader;
        ASSERT_TRUE(reader.open(f.path));
        CandumpRecord r;
        while (reader.next(r)) ++frames;
    }
    EXPECT_EQ(frames, recorder.frameCount());
}

TEST_F(LogsWindow, AReplayThatCannotStartSaysWhyAndLeavesNoAdapter) {
    hooks_.chooseReplay = [&] {
        return std::optional<MainCommands::ReplayChoice>(
            MainCommands::ReplayChoice{folders_.scratch("missing.log"), 1.0, false});
    };
    hooks_.chooseRecording = [&] {
        MainCommands::RecordingChoice choice;
        choice.path = folders_.scratch("no/such/folder.log");
        return std::optional(choice);
    };
    window_->setHooks(hooks_);
    window_->command(command::kReplayLog);
    EXPECT_TRUE(core_->adapters().isCurrent(core_->noAdapterConduit()));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].second, ReplayConduit::kTitle);
    EXPECT_FALSE(window_->commands().menuState().replayState == stateNumber(Conduit::kConnected));

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
    EXPECT_EQ(core_.settings.readString("Corvane", "SocketCanInterface"), "corvanenone7");
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
    ASSERT_TRUE(test::pumpUntil([&] { return core_->replayConduit().passes() >= 2; }));
    EXPECT_FALSE(core_->replayConduit().finished());
    ASSERT_TRUE(test::pumpUntil([&] { return window_->deviceList().count() >= 5; }));
    window_->command(command::kDisconnect);
    EXPECT_FALSE(core_->replayConduit().playing());
    EXPECT_EQ(window_->deviceList().count(), 0);
}

TEST_F(LogsWindow, StatusLineAndEmptyListSayWhetherAnAdapterIsConnected) {
    EXPECT_EQ(window_->connectionText(), "No adapter: Not connected");
    EXPECT_EQ(window_->deviceList().emptyText(), "Not connected");

    // A log whose second frame is a minute away: connected, and no device has spoken yet.
    const std::string log = folders_.scratch("slow.log");
    std::ofstream(log) << "(1765000000.000000) can0 19FFD442#0102F0FFFFFFFFFF\n"
                          "(1765000060.000000) can0 19FFD442#0102F0FFFFFFFFFF\n";
    hooks_.chooseReplay = [&] {
        return std::optional<MainCommands::ReplayChoice>(
            MainCommands::ReplayChoice{log, 1.0, false});
    };
    window_->setHooks(hooks_);
    window_->command(command::kReplayLog);
    ASSERT_TRUE(core_->replayConduit().playing());
    EXPECT_EQ(window_->connectionText().toStdString(), "Log replay (" + log + "): Connected");
    EXPECT_EQ(window_->deviceList().count(), 0);
    EXPECT_EQ(window_->deviceList().emptyText(), "Waiting for devices");

    window_->command(command::kDisconnect);
    EXPECT_EQ(window_->connectionText(), "No adapter: Not connected");
    EXPECT_EQ(window_->deviceList().emptyText(), "Not connected");
}

// A replay under way shows its place in the log in the title; one started from a time into
// the log begins there.
TEST_F(LogsWindow, TheTitleShowsWhereAReplayIs) {
    const std::string log = folders_.scratch("hour.log");
    std::ofstream(log) << "(1765000000.000000) can0 19FFD442#0102F0FFFFFFFFFF\n"
                          "(1765000030.000000) can0 19FFD442#0102F0FFFFFFFFFF\n"
                          "(1765003600.000000) can0 19FFD442#0102F0FFFFFFFFFF\n";
    hooks_.chooseReplay = [&] {
        MainCommands::ReplayChoice choice{log, 1.0, false};
        choice.startMicros = 20'000'000;
        return std::optional<MainCommands::ReplayChoice>(choice);
    };
    window_->setHooks(hooks_);
    const QString plainTitle = window_->windowTitle();
    window_->command(command::kReplayLog);
    ASSERT_TRUE(test::pumpUntil([&] { return core_->replayConduit().framesPlayed() == 1; }));
    ASSERT_TRUE(test::pumpUntil([&] {
        return window_->windowTitle() == plainTitle + " - Replay at 0:00:30 into the log, 100%";
    })) << window_->windowTitle().toStdString();
    window_->command(command::kDisconnect);
    ASSERT_TRUE(test::pumpUntil([&] { return window_->windowTitle() == plainTitle; }));
}

// The dialog offers the stored rotation and hands back what the user set, for a folder only.
TEST(RecordTrafficDlg, OffersTheStoredRotationForAFolder) {
    test::ensureApplication();
    RecordingOptions stored;
    stored.fileMinutes = 30;
    stored.fileMB = 0;
    stored.keepDays = 3;
    stored.keepGB = 2;
    stored.compression = LogCompression::Zstd;
    RecordTrafficDlg dialog(stored);
    EXPECT_FALSE(dialog.okButton().isEnabled());
    dialog.fileBox().setText("/tmp/a.log.gz");
    EXPECT_TRUE(dialog.okButton().isEnabled());
    EXPECT_FALSE(dialog.minutesBox().isEnabled());
    MainCommands::RecordingChoice c = dialog.choice();
    EXPECT_EQ(c.path, "/tmp/a.log.gz");
    EXPECT_FALSE(c.folder);
    EXPECT_FALSE(c.options.fileMinutes.has_value());

    dialog.folderButton().setChecked(true);
    EXPECT_FALSE(dialog.okButton().isEnabled());  // no folder named yet
    EXPECT_TRUE(dialog.minutesBox().isEnabled());
    EXPECT_EQ(dialog.minutesBox().value(), 30);
    EXPECT_EQ(dialog.megabytesBox().text(), "never by size");
    dialog.folderBox().setText("/var/log/coach");
    dialog.daysBox().setValue(14);
    EXPECT_TRUE(dialog.okButton().isEnabled());
    c = dialog.choice();
    EXPECT_TRUE(c.folder);
    EXPECT_EQ(c.path, "/var/log/coach");
    EXPECT_EQ(c.options.fileMinutes, 30);
    EXPECT_EQ(c.options.fileMB, 0);
    EXPECT_EQ(c.options.keepDays, 14);
    EXPECT_EQ(c.options.keepGB, 2);
    EXPECT_EQ(c.options.compression, LogCompression::Zstd);
}

TEST(ReplayLogDlg, StartFromATimeIntoTheLog) {
    test::ensureApplication();
    ReplayLogDlg dialog;
    EXPECT_FALSE(dialog.okButton().isEnabled());
    dialog.setFile("/tmp/a.log.gz");
    EXPECT_TRUE(dialog.okButton().isEnabled());
    EXPECT_EQ(dialog.choice().startMicros, 0);
    dialog.startBox().setText("1:02:03");
    EXPECT_TRUE(dialog.okButton().isEnabled());
    EXPECT_EQ(dialog.choice().startMicros, 3'723'000'000);
    dialog.startBox().setText("soon");
    EXPECT_FALSE(dialog.okButton().isEnabled());
}

TEST_F(LogsWindow, CancellingTheCloudLoginKeepsTheWorkingAdapter) {
    hooks_.chooseReplay = [] {
        return std::optional<MainCommands::ReplayChoice>(
            MainCommands::ReplayChoice{kDemoLog, 1.0, true});
    };
    window_->setHooks(hooks_);
    window_->command(command::kReplayLog);
    ReplayConduit& replay = core_->replayConduit();
    ASSERT_TRUE(test::pumpUntil([&] { return core_->deviceTable().devices().size() >= 3; }));
    const QString statusLine = window_->connectionText();
    const size_t devices = core_->deviceTable().devices().size();

    // The real login dialog, cancelled by the technician.
    KestrixLinkDlgAsker asker(window_.get());
    core_->loginPrompt().route(&asker);
    bool asked = false;
    QTimer::singleShot(0, [&asked] {
        auto* dialog = qobject_cast<KestrixLinkDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        asked = true;
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    window_->command(command::kCloud);
    core_->loginPrompt().route(nullptr);

    EXPECT_TRUE(asked);
    EXPECT_TRUE(core_->adapters().isCurrent(replay));
    EXPECT_EQ(replay.getState(), Conduit::kConnected);
    EXPECT_EQ(core_->cloudConduit().getState(), Conduit::kDisconnected);
    EXPECT_EQ(window_->connectionText(), statusLine);
    EXPECT_GE(core_->deviceTable().devices().size(), devices);  // nothing was cleared
    EXPECT_TRUE(messages_.empty());
    // And the bus keeps coming in.
    const uint64_t played = replay.framesPlayed();
    EXPECT_TRUE(test::pumpUntil([&] { return replay.framesPlayed() > played + 10; }));
    EXPECT_TRUE(replay.playing());
}

}  // namespace
}  // namespace corvane
