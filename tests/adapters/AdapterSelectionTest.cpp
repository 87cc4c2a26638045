#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "adapters/AdapterSelection.h"
#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "tests/core/TransmitHarness.h"

namespace corvane {
namespace {

// Stands in for an adapter's hardware side: counts what the selection asks of it.
class FakeAdapter final : public Conduit, public DataRateCommand {
  public:
    using Conduit::Conduit;

    int connect() override {
        ++connects;
        if (!connectSucceeds) return 0;
        setState(kConnected);
        return 1;
    }
    int reconnect() override {
        ++reconnects;
        return getState() == kConnected;
    }
    void disconnect() override {
        ++disconnects;
        Conduit::disconnect();
    }
    void sendDataRate(int32_t rate) override { rates.push_back(rate); }

    bool connectSucceeds = true;
    int connects = 0;
    int reconnects = 0;
    int disconnects = 0;
    std::vector<int32_t> rates;
};

class RecordingNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        boxes.emplace_back(std::string(text), std::string(title));
    }
    std::vector<std::pair<std::string, std::string>> boxes;
};

struct Selection {
    explicit Selection(int32_t adapterType = 2, int32_t autoStart = 1)
        : settings(preset(core.settings, adapterType, autoStart)) {}

    // The options as saved by an earlier run, in place before the settings load them.
    static SettingsStore& preset(SettingsStore& store, int32_t adapterType, int32_t autoStart) {
        store.writeInteger("Corvane", "AdapterType", adapterType);
        store.writeInteger("Corvane", "TarvikAutoStart", autoStart);
        return store;
    }

    test::TransmitHarness core;
    AdapterSettings settings;
    Conduit none{core.settings, core.transmit};
    FakeAdapter ft{core.settings, core.transmit};
    FakeAdapter cloud{core.settings, core.transmit};
    FakeAdapter serial{core.settings, core.transmit};
    RecordingNotifier notifier;
    AdapterSelection selection{
        settings, core.transmit, notifier, {none, ft, cloud, serial, &serial}};

    int32_t saved(const char* name) const {
        return core.settings.readInteger("Corvane", name).value_or(-1);
    }
};

TEST(AdapterSelection, StartsWithTheNoAdapterConduit) {
    Selection s;
    EXPECT_TRUE(s.selection.isCurrent(s.none));
    EXPECT_EQ(s.core.transmit.sender(), &s.none);
}

TEST(AdapterSelection, UsbConnectsTheAdapterTypeChooses) {
    struct Case {
        int32_t type;
        bool succeeds;
        int ftConnects, serialConnects;
        const char* current;
        bool configurationError;
    };
    const Case cases[] = {
        {1, true, 1, 0, "ft", false},    {2, true, 0, 1, "serial", false},
        {1, false, 1, 0, "none", false}, {2, false, 0, 1, "none", false},
        {0, true, 0, 0, "none", true},   {3, true, 0, 0, "none", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " succeeds " << c.succeeds);
        Selection s(c.type);
        s.ft.connectSucceeds = s.serial.connectSucceeds = c.succeeds;
        s.selection.connectUsb();
        EXPECT_EQ(s.ft.connects, c.ftConnects);
        EXPECT_EQ(s.serial.connects, c.serialConnects);
        const Conduit* expected = std::string(c.current) == "ft"       ? &s.ft
                                  : std::string(c.current) == "serial" ? &s.serial
                                                                       : &s.none;
        EXPECT_EQ(&s.selection.current(), expected);
        EXPECT_EQ(s.core.transmit.sender(), expected);
        if (c.configurationError) {
            ASSERT_EQ(s.notifier.boxes.size(), 1u);
            EXPECT_EQ(s.notifier.boxes[0].first,
                      "Please select an adapter type from the Options menu.");
            EXPECT_EQ(s.notifier.boxes[0].second, "Configuration Error");
        } else {
            EXPECT_TRUE(s.notifier.boxes.empty());
        }
    }
}

TEST(AdapterSelection, UsbReconnectsTheCurrentUsbAdapter) {
    Selection s(1);
    s.selection.connectUsb();
    ASSERT_TRUE(s.selection.isCurrent(s.ft));
    s.selection.selectAdapterType(2);
    s.selection.connectUsb();
    EXPECT_EQ(s.ft.reconnects, 1);
    EXPECT_EQ(s.ft.disconnects, 0);
    EXPECT_EQ(s.serial.connects, 0);
    EXPECT_TRUE(s.selection.isCurrent(s.ft));
}

TEST(AdapterSelection, UsbLeavesTheCloud) {
    Selection s(2);
    s.selection.connectCloud();
    ASSERT_TRUE(s.selection.isCurrent(s.cloud));
    s.selection.connectUsb();
    EXPECT_EQ(s.cloud.disconnects, 1);
    EXPECT_EQ(s.serial.connects, 1);
    EXPECT_TRUE(s.selection.isCurrent(s.serial));
}

TEST(AdapterSelection, CloudCommand) {
    Selection s(2);
    s.selection.connectUsb();
    s.selection.connectCloud();
    EXPECT_EQ(s.serial.disconnects, 1);
    EXPECT_TRUE(s.selection.isCurrent(s.cloud));
    s.selection.connectCloud();
    EXPECT_EQ(s.cloud.reconnects, 1);
    EXPECT_EQ(s.cloud.connects, 1);

    Selection failing(2);
    failing.cloud.connectSucceeds = false;
    failing.selection.connectCloud();
    EXPECT_TRUE(failing.selection.isCurrent(failing.none));
}

TEST(AdapterSelection, DisconnectAndReconnect) {
    Selection s(1);
    s.selection.reconnect();  // nothing current: nothing to reconnect
    EXPECT_EQ(s.ft.reconnects + s.serial.reconnects + s.cloud.reconnects, 0);
    s.selection.connectUsb();
    s.selection.reconnect();
    EXPECT_EQ(s.ft.reconnects, 1);
    s.selection.disconnect();
    EXPECT_EQ(s.ft.disconnects, 1);
    EXPECT_EQ(s.ft.getState(), Conduit::kDisconnected);
    EXPECT_TRUE(s.selection.isCurrent(s.none));
    EXPECT_EQ(s.core.transmit.sender(), &s.none);
}

TEST(AdapterSelection, DataRateIsSavedAndAppliedToConnectedAdapters) {
    Selection idle;
    idle.selection.selectDataRate(1);
    EXPECT_EQ(idle.saved("TarvikBaudRate"), 1);
    EXPECT_EQ(idle.ft.reconnects, 0);
    EXPECT_TRUE(idle.serial.rates.empty());

    Selection ft(1);
    ft.selection.connectUsb();
    ft.selection.selectDataRate(1);
    EXPECT_EQ(ft.ft.reconnects, 1);
    EXPECT_EQ(ft.settings.dataRate().value(), 1);

    Selection serial(2);
    serial.selection.connectUsb();
    serial.selection.selectDataRate(1);
    serial.selection.selectDataRate(2);
    EXPECT_EQ(serial.serial.rates, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(serial.serial.reconnects, 0);
    EXPECT_EQ(serial.saved("TarvikBaudRate"), 2);
}

TEST(AdapterSelection, OptionsAreSaved) {
    Selection s(2, 1);
    s.selection.selectAdapterType(1);
    EXPECT_EQ(s.saved("AdapterType"), 1);
    s.selection.toggleConnectOnStartup();
    EXPECT_EQ(s.saved("TarvikAutoStart"), 0);
    s.selection.toggleConnectOnStartup();
    EXPECT_EQ(s.saved("TarvikAutoStart"), 1);
}

TEST(AdapterSelection, EchoToggleChangesTheCurrentConduitOnly) {
    Selection s(2);
    s.selection.connectUsb();
    s.selection.toggleEchoTransmits();
    EXPECT_TRUE(s.serial.echoTransmits());
    EXPECT_FALSE(s.none.echoTransmits());
    EXPECT_FALSE(s.ft.echoTransmits());
    EXPECT_EQ(s.saved("EchoTransmits"), 1);
    // A conduit created now loads the saved value; the others keep their copies.
    Conduit later(s.core.settings, s.core.transmit);
    EXPECT_TRUE(later.echoTransmits());
    EXPECT_FALSE(s.ft.echoTransmits());
}

TEST(AdapterSelection, AltAtTheFirstTickPreventsTheStartupConnection) {
    Selection s(2, 1);
    s.selection.startupTick(true);
    EXPECT_TRUE(s.selection.startupDecided());
    for (int i = 0; i < 5; ++i) s.selection.startupTick(false);
    EXPECT_EQ(s.serial.connects, 0);
    EXPECT_TRUE(s.selection.isCurrent(s.none));
}

TEST(AdapterSelection, StartupConnectsOnce) {
    Selection s(1, 1);
    s.selection.startupTick(false);
    s.selection.startupTick(false);
    s.selection.startupTick(true);
    EXPECT_EQ(s.ft.connects, 1);
    EXPECT_TRUE(s.selection.isCurrent(s.ft));

    // A failed attempt is not retried by later ticks either.
    Selection failing(2, 1);
    failing.serial.connectSucceeds = false;
    failing.selection.startupTick(false);
    failing.selection.startupTick(false);
    EXPECT_EQ(failing.serial.connects, 1);
    EXPECT_TRUE(failing.selection.isCurrent(failing.none));
}

TEST(AdapterSelection, StartupWaitsForConnectOnStartup) {
    Selection s(2, 0);
    for (int i = 0; i < 3; ++i) s.selection.startupTick(false);
    EXPECT_FALSE(s.selection.startupDecided());
    EXPECT_EQ(s.serial.connects, 0);
    s.selection.toggleConnectOnStartup();
    s.selection.startupTick(false);
    EXPECT_EQ(s.serial.connects, 1);
    EXPECT_TRUE(s.selection.isCurrent(s.serial));
}

TEST(AdapterSelection, AnAdapterChosenByNameEndsTheStartupCheck) {
    // Chosen before the first tick, and with "Connect on Startup" off and then on again: the
    // automatic connection never replaces it.
    for (int32_t autoStart : {1, 0}) {
        Selection s(2, autoStart);
        FakeAdapter named{s.core.settings, s.core.transmit};
        EXPECT_TRUE(s.selection.connectAdapter(named));
        EXPECT_TRUE(s.selection.startupDecided());
        if (autoStart == 0) s.selection.toggleConnectOnStartup();
        for (int i = 0; i < 3; ++i) s.selection.startupTick(false);
        EXPECT_EQ(s.serial.connects, 0);
        EXPECT_TRUE(s.selection.isCurrent(named));
        s.selection.disconnect();
    }
}

TEST(AdapterSelection, StartupWithNoAdapterTypeShowsTheConfigurationError) {
    Selection s(0, 1);
    s.selection.startupTick(false);
    s.selection.startupTick(false);
    ASSERT_EQ(s.notifier.boxes.size(), 1u);
    EXPECT_EQ(s.notifier.boxes[0].second, "Configuration Error");
}

}  // namespace
}  // namespace corvane
