#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/CCorvaneDlg.h"
#include "app/DeviceListBox.h"
#include "app/MainWindowRun.h"
#include "app/QtNotifier.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/app/StallProbe.h"
#include "tests/support/FreshFolders.h"
#include "tests/support/TestCore.h"

namespace corvane {
namespace {

// The real window on the demo vehicle behind the serial emulator, with the bus loaded to
// 4,000 extra frames a second: the user-interface thread keeps its 50 ms rhythm, every frame
// is taken in and the devices are listed.
TEST(MainWindowLoad, StaysResponsiveAtFullBusLoad) {
    test::ensureApplication();
    test::FreshFolders folders;
    ASSERT_TRUE(folders.valid());

    test::TestCore tool;
    StartOptions options;
    options.demo = DemoAdapter::Vexor;
    options.demoLoad = 4000;
    ApplicationCore& core = tool.start(options);
    QtNotifier notifier;
    notifier.setShower([](const std::string&, const std::string&) {});
    CCorvaneDlg window(MainWindowServicesOf(core, folders.runtime()), notifier);
    window.show();

    test::StallProbe probe;
    QEventLoop loop;
    QTimer::singleShot(4000, &loop, &QEventLoop::quit);
    loop.exec();
    // A busy machine may still be finishing the scan or the first seconds of load: those are
    // waited for, while the probe goes on watching the window's rhythm.
    QElapsedTimer more;
    more.start();
    while ((window.deviceList().count() < 5 || core.manager().networkStats().total <= 8000) &&
           more.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);  // the timers tick
    }

    std::printf("longest gap %lld ms, %d frames taken in, %d rows\n",
                static_cast<long long>(probe.longestGapMs()), core.manager().networkStats().total,
                window.deviceList().count());
    EXPECT_LT(probe.longestGapMs(), 250) << "the window stalled";
    EXPECT_GE(window.deviceList().count(), 5);  // four nodes and the tool
    EXPECT_EQ(core.manager().overruns(), 0);
    EXPECT_GT(core.manager().networkStats().total, 8000);  // over two seconds of load seen
}

}  // namespace
}  // namespace corvane
