#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "app/ActivityGraphCtrl.h"
#include "app/AddressColour.h"
#include "app/NetworkStatusDlg.h"
#include "app/StatusGridCtrl.h"
#include "core/CanIdentifier.h"
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/DroppedWork.h"
#include "core/RVCManager.h"
#include "core/RvcFrame.h"
#include "core/RvcMessage.h"
#include "core/TransmitPath.h"
#include "health/HealthWatch.h"
#include "modules/AppKiller.h"
#include "modules/ModuleLauncher.h"
#include "platform/MemorySettingsStore.h"
#include "platform/SystemShell.h"
#include "sim/LiveVehicle.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/modules/ModuleDoubles.h"
#include "tests/support/FakeClock.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

QColor toQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

void click(QWidget* widget, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), widget->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

class NetworkStatusDlgTest : public ::testing::Test {
  protected:
    NetworkStatusDlgTest() {
        test::ensureApplication();
        services.manager = &manager;
        services.table = &table;
        services.launcher = &launcher;
        services.dialogs = &dialogs;
    }
    ~NetworkStatusDlgTest() override {
        if (auto* open = NetworkStatusDlg::instance()) delete open;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void frame(uint8_t sa) {
        const uint8_t data[8] = {};
        manager.intake(makeFrame(CanIdentifier{6, 0x1FFB7, sa, 0}, 0, 8, data));
    }
    void message(uint32_t dgn, uint8_t sa, std::string_view text) {
        table.update(*makeMessage(
            dgn, sa, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
    }
    void device(uint8_t sa, uint8_t dsa) {
        const char status[8] = {0x05, static_cast<char>(dsa), -1, -1, -1, -1, -1, -1};
        message(dgn::kDmRv, sa, std::string_view(status, 8));
    }
    NetworkStatusDlg* openWindow() {
        auto* window = NetworkStatusDlg::open(services);
        window->strip()->stop();  // tests run the strip's passes themselves
        return window;
    }
    QImage gridImage(NetworkStatusDlg* window) { return window->grid()->grab().toImage(); }

    test::FakeClock clock;
    MemorySettingsStore settings;
    DeviceTable table{clock};
    RVCManager manager{settings, table};
    test::RecordingShell shell;
    AppKiller killer{shell, [] { return size_t{0}; }};
    test::RecordingHost host;
    test::ScriptedDialogs dialogs;
    TransmitPath transmit{manager};
    ModuleLauncher launcher{shell,   killer,   host,
                            dialogs, transmit, [] { return std::string("/opt/mods"); }};
    NetworkStatusDlg::Services services;
};

TEST(StatusGridGeometry, RoundsUpCellsAndFindsAddresses) {
    EXPECT_EQ(StatusGridCtrl::roundedUp({250, 241}), QSize(256, 256));
    EXPECT_EQ(StatusGridCtrl::roundedUp({256, 255}), QSize(272, 256));
    EXPECT_EQ(StatusGridCtrl::cellRect(0, {256, 256}), QRect(0, 0, 15, 15));
    EXPECT_EQ(StatusGridCtrl::cellRect(249, {256, 256}), QRect(144, 240, 15, 15));
    EXPECT_EQ(StatusGridCtrl::cellRect(17, {320, 160}), QRect(20, 10, 19, 9));
    EXPECT_EQ(StatusGridCtrl::markerRect(249, {256, 256}), QRect(149, 245, 5, 5));
    const struct {
        QPoint point;
        int address;
    } clicks[] = {{{0, 0}, 0},  {{255, 255}, 255}, {{15, 0}, 0},
                  {{16, 0}, 1}, {{0, 16}, 16},     {{150, 245}, 249}};
    for (const auto& c : clicks) {
        EXPECT_EQ(StatusGridCtrl::addressAt(c.point, {256, 256}), c.address);
    }
}

TEST_F(NetworkStatusDlgTest, NoTrafficGridIsWhiteWithBlackMarkerAt249) {
    auto* window = openWindow();
    EXPECT_EQ(window->windowTitle(), "Network Status");
    EXPECT_EQ(window->grid()->size(), QSize(256, 256));
    const QImage image = gridImage(window);
    const QSize size = window->grid()->size();
    for (int a = 0; a < 256; ++a) {
        const QRect cell = StatusGridCtrl::cellRect(static_cast<uint8_t>(a), size);
        ASSERT_EQ(image.pixelColor(cell.topLeft()), QColor(Qt::white)) << a;
    }
    const QRect marker = StatusGridCtrl::markerRect(249, size);
    EXPECT_EQ(image.pixelColor(marker.center()), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(marker.topLeft()), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(marker.topLeft() - QPoint(1, 1)), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(15, 0), QColor::fromRgb(StatusGridCtrl::kSeam));
    EXPECT_EQ(window->nodeAddress()->text(), "249 [F9]");
}

TEST_F(NetworkStatusDlgTest, TalkingAddressZeroIsBlackWithWhiteMarker) {
    frame(0);
    frame(1);
    frame(kToolAddress);
    manager.statisticsStep();
    auto* window = openWindow();
    window->selectAddress(0);
    const QImage image = gridImage(window);
    const QSize size = window->grid()->size();
    EXPECT_EQ(image.pixelColor(StatusGridCtrl::cellRect(0, size).topLeft()), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(StatusGridCtrl::markerRect(0, size).center()), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(StatusGridCtrl::cellRect(1, size).topLeft()), QColor(154, 66, 35));
    EXPECT_EQ(image.pixelColor(StatusGridCtrl::cellRect(2, size).topLeft()), QColor(Qt::white));
    // The tool's own cell is white while it talks, so its marker stays black.
    EXPECT_EQ(image.pixelColor(StatusGridCtrl::markerRect(249, size).center()),
              QColor(Qt::white));  // not selected: no marker
    window->selectAddress(kToolAddress);
    EXPECT_EQ(gridImage(window).pixelColor(StatusGridCtrl::markerRect(249, size).center()),
              QColor(Qt::black));

    window->refresh();
    EXPECT_EQ(window->networkTraffic()->text(), "3");
    EXPECT_EQ(window->networkAverage()->text(), "1");  // (3 + 2) / 5
    EXPECT_EQ(window->nodeTraffic()->text(), "1");
    EXPECT_EQ(window->nodeAverage()->text(), "0");
}

TEST_F(NetworkStatusDlgTest, ClickInLastCellSelects255) {
    auto* window = openWindow();
    click(window->grid(), QPoint(255, 255));
    EXPECT_EQ(window->grid()->selected(), 255);
    EXPECT_EQ(window->nodeAddress()->text(), "255 [FF]");
    EXPECT_EQ(window->strip()->highlighted(), 255);
    click(window->grid(), QPoint(20, 3));
    EXPECT_EQ(window->nodeAddress()->text(), "1 [01]");
}

TEST_F(NetworkStatusDlgTest, NodeDescriptionListsMakeModelAndDsaLines) {
    message(dgn::kProductId, 0x42, "Acme*X1*123*7*");
    device(0x42, 88);
    device(0x42, 66);
    device(0x42, 255);  // never listed
    device(0x43, 67);   // another address
    EXPECT_EQ(NetworkStatusDlg::describeAddress(table, 0x42),
              "Acme  X1 \r\nDSA: 66 [42] Inverter \r\nDSA: 88 [58] Main Thermostat");
    EXPECT_EQ(NetworkStatusDlg::describeAddress(table, 0x43), " \r\nDSA: 67 [43] Inverter #2");
    EXPECT_EQ(NetworkStatusDlg::describeAddress(table, 0x44), "");

    auto* window = openWindow();
    click(window->grid(), QPoint(2 * 16 + 3, 4 * 16 + 3));
    EXPECT_EQ(window->nodeAddress()->text(), "66 [42]");
    EXPECT_EQ(window->nodeDescription()->toPlainText(),
              "Acme  X1 \nDSA: 66 [42] Inverter \nDSA: 88 [58] Main Thermostat");
}

TEST_F(NetworkStatusDlgTest, StripCatchesUpFiveEntriesPerPass) {
    for (int i = 0; i < 12; ++i) frame(static_cast<uint8_t>(i == 3 ? 0x42 : 1));
    auto* window = openWindow();
    auto* strip = window->strip();
    strip->setHighlighted(0x42);
    const int height = strip->height();
    const int band = height / 5;
    ASSERT_GT(strip->width(), 40);

    strip->drawPass();
    EXPECT_EQ(manager.recentRead(), 5);
    EXPECT_EQ(strip->writeColumn(), 5);
    EXPECT_EQ(strip->cursorColumn(), 30);
    QImage picture = strip->picture();
    const QColor one = toQColor(AddressColour(1));
    EXPECT_EQ(picture.pixelColor(0, band), one);
    EXPECT_EQ(picture.pixelColor(0, height - band - 1), one);
    EXPECT_EQ(picture.pixelColor(0, band - 1), QColor(Qt::black));       // outside the band
    EXPECT_EQ(picture.pixelColor(3, 0), toQColor(AddressColour(0x42)));  // highlighted: full
    EXPECT_EQ(picture.pixelColor(3, height - 1), toQColor(AddressColour(0x42)));
    EXPECT_EQ(picture.pixelColor(25, 0), QColor::fromRgb(ActivityGraphCtrl::kCursor));

    strip->drawPass();
    EXPECT_EQ(manager.recentRead(), 10);
    strip->drawPass();  // two waiting, then three idle black columns
    EXPECT_EQ(manager.recentRead(), 12);
    picture = strip->picture();
    EXPECT_EQ(picture.pixelColor(11, band), one);
    EXPECT_EQ(picture.pixelColor(12, band), QColor(Qt::black));
    EXPECT_EQ(strip->writeColumn(), 15);
}

TEST_F(NetworkStatusDlgTest, StripCatchesUpOnAFullRecentRing) {
    for (int i = 0; i < 300; ++i) frame(7);
    auto* window = openWindow();
    // 300 frames leave the ring's write position at 300 % 128 = 44: 44 entries wait.
    int passes = 0;
    while (manager.recentRead() != manager.recentIndex() && passes < 100) {
        window->strip()->drawPass();
        ++passes;
    }
    EXPECT_EQ(passes, 9);
    EXPECT_EQ(manager.recentRead(), 44);
}

TEST_F(NetworkStatusDlgTest, OpeningTwiceBringsTheSameWindowForward) {
    auto* first = NetworkStatusDlg::open(services);
    auto* second = NetworkStatusDlg::open(services);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(first->isVisible());

    QPointer<NetworkStatusDlg> guard(first);
    for (auto* button : first->findChildren<QPushButton*>()) {
        if (button->text() == "OK") button->click();
    }
    EXPECT_EQ(NetworkStatusDlg::instance(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    auto* third = NetworkStatusDlg::open(services);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(third->grid()->selected(), kToolAddress);
    EXPECT_EQ(third->strip()->writeColumn(), 0);
    EXPECT_EQ(third->strip()->cursorColumn(), 25);
}

TEST_F(NetworkStatusDlgTest, OpeningAndClosingUnderTrafficNeverOutlivesTheWindow) {
    std::atomic<bool> stop{false};
    std::thread traffic([&] {
        uint8_t sa = 0;
        while (!stop.load()) frame(sa++);
    });
    for (int i = 0; i < 15; ++i) {
        auto* window = NetworkStatusDlg::open(services);
        ASSERT_TRUE(window->strip()->running());
        test::pumpFor(
            std::chrono::milliseconds(i % 3 == 0 ? 300 : 20));  // some live past the first pass
        window->accept();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(NetworkStatusDlg::instance(), nullptr);
    }
    stop = true;
    traffic.join();
}

TEST(NetworkStatusText, DroppedWorkCountsInWords) {
    struct Case {
        int deliveries, frames;
        std::string text;
    };
    const Case cases[] = {
        {0, 0, ""},
        {1, 0, "Dropped: 1 module delivery, 0 adapter frames"},
        {0, 1, "Dropped: 0 module deliveries, 1 adapter frame"},
        {2, 3, "Dropped: 2 module deliveries, 3 adapter frames"},
    };
    for (const Case& c : cases) {
        DroppedWork dropped;
        for (int i = 0; i < c.deliveries; ++i) dropped.countSkippedDelivery();
        if (c.frames > 0) dropped.countFullRing(static_cast<uint64_t>(c.frames));
        EXPECT_EQ(NetworkStatusDlg::droppedText(dropped), c.text);
    }
}

TEST_F(NetworkStatusDlgTest, DroppedWorkShowsOnlyOnceSomethingWasDropped) {
    auto* window = openWindow();
    EXPECT_TRUE(window->droppedWork()->isHidden());
    manager.droppedWork().countFullRing();
    manager.droppedWork().countSkippedDelivery();
    manager.droppedWork().countSkippedDelivery();
    window->refresh();
    EXPECT_FALSE(window->droppedWork()->isHidden());
    EXPECT_EQ(window->droppedWork()->text().toStdString(),
              "Dropped: 2 module deliveries, 1 adapter frame");

    // The bus's own errors, as an adapter passes them on, appear beside them.
    EXPECT_TRUE(window->busErrors()->isHidden());
    CanErrorFrame busOff;
    busOff.busOff = true;
    manager.busErrors().note(busOff);
    window->refresh();
    EXPECT_FALSE(window->busErrors()->isHidden());
    EXPECT_TRUE(window->busErrors()->text().startsWith("Bus errors: 1 error frame, bus off"));
}

// A node that sent twice a second for a while and then stopped is named with the time it was
// last heard; the load of what it sent is shown beside it.
TEST_F(NetworkStatusDlgTest, BusLoadAndSilentNodesFollowTheHealthWatch) {
    EXPECT_TRUE(openWindow()->busLoad()->isHidden());  // no health watch: nothing to show
    delete NetworkStatusDlg::instance();
    health::HealthWatch watch([this] { return clock.epochMicros(); }, [] { return 250'000u; },
                              nullptr);
    manager.setClientDelivery(&watch.delivery());
    services.health = &watch;
    services.clock = &clock;
    device(0x30, 101);
    for (int i = 0; i < 40; ++i) {
        frame(0x30);
        clock.advanceMs(500);
    }
    // 22:13:20 UTC plus 19.5 s: the last frame.
    clock.advanceSeconds(5);
    watch.refresh(table);
    auto* window = openWindow();
    window->refresh();
    EXPECT_FALSE(window->busLoad()->isHidden());
    EXPECT_TRUE(window->busLoad()->text().startsWith("Bus load 0.0 % (last minute 0."))
        << window->busLoad()->text().toStdString();
    EXPECT_TRUE(window->busLoad()->text().endsWith("at 250 kbit/s"));
    EXPECT_EQ(window->silentNodes()->text().toStdString(),
              "Silent: Water Heater at 30 since 22:13:39");
    manager.setClientDelivery(nullptr);
}

TEST_F(NetworkStatusDlgTest, RunModuleDecidesOnTheLowerCasePath) {
    auto* window = openWindow();
    window->selectAddress(0x42);

    dialogs.file = "/home/tech/Mods/TOOL.EXE";
    window->runModule();
    ASSERT_EQ(dialogs.filters.size(), 1u);
    EXPECT_EQ(dialogs.filters[0], NetworkStatusDlg::kModuleFilter);
    ASSERT_EQ(shell.opens.size(), 1u);
    EXPECT_EQ(shell.opens[0], (test::RecordingShell::Open{"/home/tech/Mods/TOOL.EXE", "66 255"}));
    EXPECT_EQ(killer.names(), std::vector<std::string>{"TOOL.EXE"});

    dialogs.file = "/home/tech/Heater.DEF";
    window->runModule();
    ASSERT_EQ(shell.opens.size(), 2u);
    EXPECT_EQ(shell.opens[1], (test::RecordingShell::Open{"/opt/mods/Quillon.exe",
                                                          "66 255 /home/tech/Heater.DEF"}));
    EXPECT_EQ(killer.names().back(), "Quillon.exe");

    dialogs.file = "/home/tech/notes.txt";
    window->runModule();
    dialogs.file = "**/home/tech/a.scr";
    window->runModule();
    ASSERT_EQ(host.scripts.size(), 2u);
    EXPECT_EQ(host.scripts[0], (test::RecordingHost::Script{"/home/tech/notes.txt", "", 0x42}));
    EXPECT_EQ(host.scripts[1], (test::RecordingHost::Script{"/home/tech/a.scr", "", 0x42}));

    dialogs.file.reset();  // cancelled: nothing happens
    window->runModule();
    EXPECT_EQ(shell.opens.size(), 2u);
    EXPECT_EQ(host.scripts.size(), 2u);
}

TEST_F(NetworkStatusDlgTest, RunModuleStartsAChosenLinuxProgram) {
    // A program without ".exe", as built on Linux: it is started with "address 255" and
    // never fed to the script window.
    QTemporaryDir folder;
    const std::string program = folder.path().toStdString() + "/watch-node";
    const std::string marker = folder.path().toStdString() + "/started";
    {
        std::ofstream out(program);
        out << "#!/bin/sh\necho \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" " << marker << "\n";
    }
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    SystemShell system;
    AppKiller started{system, [] { return size_t{0}; }};
    ModuleLauncher real{system, started, host, dialogs, transmit, [] { return std::string(); }};
    services.launcher = &real;
    auto* window = openWindow();
    window->selectAddress(0x42);
    dialogs.file = program;
    window->runModule();

    std::string arguments;
    EXPECT_TRUE(test::waitUntil(
        [&] {
            std::ifstream in(marker);
            return std::getline(in, arguments) && !arguments.empty();
        },
        std::chrono::seconds(20)));
    EXPECT_EQ(arguments, "66 255");
    EXPECT_TRUE(host.scripts.empty());
    EXPECT_EQ(started.names(), std::vector<std::string>{"watch-node"});
}

// The window over the simulated vehicle in real time. With CORVANE_STATUS_SCREENSHOT set to a
// path, the picture is saved there (the user guide's screenshot).
TEST_F(NetworkStatusDlgTest, ShowsDemoTrafficLive) {
    sim::LiveVehicle vehicle;
    vehicle.start([this](const RvcFrame& f) { manager.intake(f); });
    auto* window = NetworkStatusDlg::open(services);
    window->resize(720, 440);
    for (int second = 0; second < 3; ++second) {
        test::pumpFor(std::chrono::milliseconds(1000));
        manager.statisticsStep();
    }
    // Choose a device's address if the vehicle reported one, else the first that talked.
    int chosen = -1;
    for (const auto& d : table.devices()) {
        if (d.sa != kToolAddress) {
            chosen = d.sa;
            break;
        }
    }
    for (int a = 0; a < 256 && chosen < 0; ++a) {
        if (manager.addressStats(static_cast<uint8_t>(a)).active != 0) chosen = a;
    }
    ASSERT_GE(chosen, 0);
    click(window->grid(),
          StatusGridCtrl::cellRect(static_cast<uint8_t>(chosen), window->grid()->size()).center());
    test::pumpFor(std::chrono::milliseconds(300));
    vehicle.stop();
    window->strip()->stop();
    window->refresh();

    EXPECT_NE(window->networkTraffic()->text(), "0");
    const QImage strip = window->strip()->picture();
    int marks = 0;
    for (int x = 0; x < strip.width(); ++x) {
        const QColor c = strip.pixelColor(x, strip.height() / 2);
        marks += c != QColor(Qt::black) && c != QColor::fromRgb(ActivityGraphCtrl::kCursor);
    }
    EXPECT_GT(marks, 0);
    if (const char* path = std::getenv("CORVANE_STATUS_SCREENSHOT")) {
        EXPECT_TRUE(window->grab().save(path));
    }
}

}  // namespace
}  // namespace corvane
