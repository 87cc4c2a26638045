#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/AdapterSelection.h"
#include "adapters/AdapterSettings.h"
#include "app/AdapterWatch.h"
#include "app/RoutedNotifier.h"
#include "tests/core/TransmitHarness.h"

namespace corvane {
namespace {

// Stands in for an adapter's hardware: answers while plugged in, says so when it is not.
class PluggableAdapter final : public Conduit {
  public:
    PluggableAdapter(SettingsStore& settings, TransmitPath& transmit, UserNotifier& notifier,
                     const Clock& clock)
        : Conduit(settings, transmit), notifier_(notifier), clock_(clock) {}
    int connect() override {
        tries.push_back(clock_.steadyMilliseconds());
        if (!plugged) {
            notifier_.showMessage("not found", "USB Error");
            return 0;
        }
        setState(kConnected);
        return 1;
    }
    void unplug() {
        plugged = false;
        setState(kDisconnected);
    }

    bool plugged = true;
    std::vector<int64_t> tries;  // when connect was called

  private:
    UserNotifier& notifier_;
    const Clock& clock_;
};

class CountingNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view, std::string_view) override { ++shown; }
    int shown = 0;
};

// Lost at 0 ms and back at 12 s: tried after 0.5 s, then after pauses doubling up to 4 s,
// with one line for the loss and one for the return, and no message box for any try.
TEST(AdapterWatch, TriesALostAdapterAfterGrowingPausesAndSaysOnlyLossAndReturn) {
    test::TransmitHarness core;
    AdapterSettings settings(core.settings);
    RoutedNotifier routed;
    CountingNotifier window;
    routed.route(&window);
    Conduit none(core.settings, core.transmit);
    PluggableAdapter ft(core.settings, core.transmit, routed, core.clock);
    Conduit cloud(core.settings, core.transmit);
    Conduit serial(core.settings, core.transmit);
    AdapterSelection selection(settings, core.transmit, routed, {none, ft, cloud, serial});
    std::vector<std::string> said;
    AdapterWatch watch(selection, {{&ft, "FT"}}, routed, core.clock,
                       [&](const std::string& line) { said.push_back(line); });

    ASSERT_TRUE(selection.connectAdapter(ft));
    ft.tries.clear();
    watch.step();
    ft.unplug();  // at 0 ms
    for (int64_t ms = 0; ms <= 16000; ms += 50) {
        if (ms == 12000) ft.plugged = true;
        watch.step();
        core.clock.advanceMs(50);
    }
    EXPECT_EQ(ft.tries, (std::vector<int64_t>{500, 1500, 3500, 7500, 11500, 15500}));
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[0].find("FT lost"), std::string::npos);
    EXPECT_NE(said[1].find("FT is back"), std::string::npos);
    EXPECT_EQ(window.shown, 0);
    EXPECT_EQ(routed.target(), &window);
    EXPECT_FALSE(watch.reconnecting());

    // The user's own "Disconnect" is no loss.
    selection.disconnect();
    for (int i = 0; i < 100; ++i) {
        watch.step();
        core.clock.advanceMs(50);
    }
    EXPECT_EQ(said.size(), 2u);
    EXPECT_EQ(ft.tries.size(), 6u);
}

}  // namespace
}  // namespace corvane
