#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapters/AdapterSettings.h"
#include "adapters/TarvikConduit.h"
#include "adapters/UserNotifier.h"
#include "platform/LibFtdiDriver.h"
#include "sim/FtFirmwareEmulator.h"
#include "sim/SimulatedVehicle.h"
#include "tests/core/TransmitHarness.h"
#include "tests/support/CapturingTrace.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using test::waitUntil;

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using sim::FtFirmwareEmulator;

// Keeps every message box as "title: text".
class RecordingNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(std::string(title) + ": " + std::string(text));
    }
    std::vector<std::string> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

const std::string kFault = std::string("USB Error: ") + TarvikConduit::kFirmwareFaultText;

// The real conduit against the firmware emulator, on the network core as wired at start-up.
struct Rig {
    explicit Rig(FtFirmwareEmulator::Options options = {}, sim::SimulatedVehicle* vehicle = nullptr)
        : emulator(vehicle, std::move(options)) {}

    test::TransmitHarness core;
    AdapterSettings adapterSettings{core.settings};
    RecordingNotifier notifier;
    FtFirmwareEmulator emulator;
    TarvikConduit conduit{core.settings,   core.transmit, core.manager,
                          adapterSettings, emulator,      notifier};

    size_t count(uint8_t command) const {
        auto c = emulator.commands();
        return static_cast<size_t>(std::count(c.begin(), c.end(), command));
    }
};

TEST(TarvikConduit, ConnectsStartsTheFirmwareAndSetsTheDataRate) {
    Rig rig;
    EXPECT_EQ(rig.conduit.connect(), 1);
    EXPECT_EQ(rig.conduit.getState(), Conduit::kConnected);
    EXPECT_TRUE(rig.notifier.messages().empty());
    EXPECT_EQ(rig.emulator.openedSerialNumber(), FtFirmwareEmulator::kSerialNumber);
    EXPECT_EQ(rig.emulator.commands(), (Bytes{0x80, 0xD2, 0x80, 0xB2}));
    EXPECT_EQ(rig.emulator.dataRateCommand(), 0xB2);
    // The tool lists itself once connected.
    EXPECT_EQ(rig.core.devices.findNode(0xF9).address, 0xF9);

    rig.conduit.disconnect();
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisconnected);
    EXPECT_EQ(rig.emulator.commands().back(), UsbCanPort::kStopCommand);
    EXPECT_FALSE(rig.emulator.isOpen());
    EXPECT_EQ(rig.core.devices.findNode(0xF9).address, 0xFF);  // the network is forgotten
}

TEST(TarvikConduit, FindsTheAdapterByDescriptionAndOpensItBySerialNumber) {
    using Devices = std::vector<FtFirmwareEmulator::Device>;
    struct Case {
        const char* what;
        Devices devices;
        int result;
        std::string opened;  // or the message shown
    };
    const Case cases[] = {
        {"USB-CAN at index 1",
         {{"FT232R USB UART", "A100"}, {"USB-CAN Interface", "B200"}},
         1,
         "B200"},
        {"the first of two adapters",
         {{"USB-CAN Interface", "C300"}, {"USB-CAN2", "D400"}},
         1,
         "C300"},
        {"exactly the prefix", {{"USB-CAN", "E500"}}, 1, "E500"},
        {"no device", {}, 0, "USB Error: [2] Cannot Find Adapter"},
        {"no USB-CAN description",
         {{"FT232R USB UART", "A100"}, {"USB CAN", "B200"}, {"usb-can", "C300"}, {"USB-CA", "D4"}},
         0,
         "USB Error: [0] Cannot Find Adapter"},
        {"description not at the start",
         {{" USB-CAN", "A1"}},
         0,
         "USB Error: [0] Cannot Find Adapter"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FtFirmwareEmulator::Options options;
        options.devices = c.devices;
        Rig rig(options);
        EXPECT_EQ(rig.conduit.connect(), c.result);
        if (c.result == 1) {
            EXPECT_EQ(rig.emulator.openedSerialNumber(), c.opened);
            EXPECT_TRUE(rig.notifier.messages().empty());
        } else {
            EXPECT_EQ(rig.conduit.getState(), Conduit::kDisconnected);
            EXPECT_EQ(rig.notifier.messages(), std::vector<std::string>{c.opened});
            EXPECT_FALSE(rig.emulator.isOpen());
        }
    }
}

TEST(TarvikConduit, FirmwareStartVariants) {
    struct Case {
        const char* what;
        int notStartedAnswers;
        bool runningAtPowerOn;
        bool neverStarts;
        bool neverAnswers;
        int result;
        ConduitState state;
        std::vector<std::string> messages;
        size_t stateCommands;
    };
    const Case cases[] = {
        {"0x55 three times then 0xCC", 3, false, false, false, 1, Conduit::kConnected, {}, 4},
        {"already running", 1, true, false, false, 1, Conduit::kConnected, {}, 2},
        {"starts at once", 0, false, false, false, 1, Conduit::kConnected, {}, 2},
        {"never starts", 1, false, true, false, 0, Conduit::kFailed, {kFault}, 202},
        {"never answers",
         1,
         false,
         false,
         true,
         0,
         Conduit::kFailed,
         {"USB Error: Tool Not Responding.", kFault},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FtFirmwareEmulator::Options options;
        options.notStartedAnswers = c.notStartedAnswers;
        options.runningAtPowerOn = c.runningAtPowerOn;
        options.neverStarts = c.neverStarts;
        options.neverAnswers = c.neverAnswers;
        Rig rig(options);
        EXPECT_EQ(rig.conduit.connect(), c.result);
        EXPECT_EQ(rig.conduit.getState(), c.state);
        EXPECT_EQ(rig.notifier.messages(), c.messages);
        EXPECT_EQ(rig.count(0x80), c.stateCommands);
        EXPECT_EQ(rig.emulator.started(), c.result == 1);
        // A failed attempt sets no data rate.
        EXPECT_EQ(rig.count(0xB2), c.result == 1 ? 1u : 0u);
    }
}

TEST(TarvikConduit, ThreeNotStartedAnswersFollowTheStartSequence) {
    FtFirmwareEmulator::Options options;
    options.notStartedAnswers = 3;
    Rig rig(options);
    ASSERT_EQ(rig.conduit.connect(), 1);
    EXPECT_EQ(rig.emulator.commands(), (Bytes{0x80, 0xD2, 0x80, 0x80, 0xD2, 0x80, 0xB2}));
}

TEST(TarvikConduit, DataRateCommands) {
    test::CapturingTrace trace;
    struct Case {
        int32_t rate;
        uint8_t command;
        bool traced;
    };
    const Case cases[] = {{0, 0xB0, false},        {1, 0xB1, false}, {2, 0xB2, false},
                          {3, 0xB3, false},        {4, 0xB2, true},  {-1, 0xB2, true},
                          {0x7FFFFFFF, 0xB2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        size_t before = trace.lines().size();
        EXPECT_EQ(TarvikConduit::dataRateCommand(c.rate), c.command);
        EXPECT_EQ(trace.lines().size() > before, c.traced);
    }
    EXPECT_TRUE(trace.contains("TarvikBaudRate 4 is not 0-3"));

    Rig rig;
    rig.adapterSettings.dataRate().set(1);
    ASSERT_EQ(rig.conduit.connect(), 1);
    EXPECT_EQ(rig.emulator.dataRateCommand(), 0xB1);
    // The 500 kbit/s item reconnects at the new rate.
    rig.adapterSettings.dataRate().set(9);
    ASSERT_EQ(rig.conduit.reconnect(), 1);
    EXPECT_EQ(rig.emulator.dataRateCommand(), 0xB2);
}

TEST(TarvikConduit, DoublesDleInPayloadAndChecksum) {
    Rig rig;
    ASSERT_EQ(rig.conduit.connect(), 1);
    size_t before = rig.emulator.bytesFromTool().size();
    // SA 0x10 and the data make the checksum 0x10 as well.
    const uint8_t data[] = {0x10, 0xBF};
    rig.conduit.sendFrame(0xFEEB, 0x10, 6, 2, data);
    auto bytes = rig.emulator.bytesFromTool();
    EXPECT_EQ(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(before), bytes.end()),
              (Bytes{0x10, 0x02, 0xA0, 0x18, 0xFE, 0xEB, 0x10, 0x10, 0x00, 0x00, 0x00, 0x02, 0x10,
                     0x10, 0xBF, 0x10, 0x10, 0x10, 0x03}));
    auto frames = rig.emulator.framesFromTool();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(+frames[0].dgn, 0xFEEBu);
    EXPECT_EQ(frames[0].sa, 0x10);
    EXPECT_EQ(frames[0].priority, 6);
    EXPECT_EQ(frames[0].data[1], 0xBF);

    // More than 8 bytes: nothing goes out.
    const uint8_t nine[9] = {};
    rig.conduit.sendFrame(0xFEEB, 0x10, 6, 9, nine);
    EXPECT_EQ(rig.emulator.bytesFromTool().size(), bytes.size());
}

TEST(TarvikConduit, ReceivedFramesReachIntake) {
    Rig rig;
    ASSERT_EQ(rig.conduit.connect(), 1);
    const Bytes example = {0x80, 0x42, 0xEB, 0xFE, 0x18, 0x10, 0x27,
                           0x00, 0x00, 0x00, 0x02, 0x01, 0x02};
    Bytes second = example;
    second[1] = 0x43;

    // A wrong checksum drops that message only; noise and notifications are passed over.
    rig.emulator.corruptNextChecksum();
    rig.emulator.injectPayload(example);
    rig.emulator.injectLinkBytes(Bytes{0x10, 0x10, 0x03, 0x55, 0x10});
    rig.emulator.injectPayload(Bytes{0xFF, 0x01});
    rig.emulator.injectPayload(example);
    rig.emulator.injectPayload(second);

    ASSERT_TRUE(waitUntil([&] { return rig.core.clients.raw().size() >= 2; }));
    std::this_thread::sleep_for(50ms);
    auto raw = rig.core.clients.raw();
    ASSERT_EQ(raw.size(), 2u);
    const RvcFrame& f = raw[0];
    EXPECT_EQ(f.kind, RvcFrame::kKind);
    EXPECT_EQ(f.sa, 0x42);
    EXPECT_EQ(+f.dgn, 0xFEEBu);
    EXPECT_EQ(f.priority, 6);
    EXPECT_EQ(f.reserved, 0);
    EXPECT_EQ(+f.timestamp, 10000u);
    EXPECT_EQ(+f.length, 2);
    EXPECT_EQ(f.data[0], 0x01);
    EXPECT_EQ(f.data[1], 0x02);
    EXPECT_EQ(raw[1].sa, 0x43);
}

TEST(TarvikConduit, OpenFailureLeavesStateFailed) {
    Rig rig;
    // Someone else has the device open.
    FtDriver::Handle other = FtDriver::kNoHandle;
    ASSERT_EQ(rig.emulator.openBySerialNumber(FtFirmwareEmulator::kSerialNumber, other),
              FtDriver::kOk);
    EXPECT_EQ(rig.conduit.connect(), 0);
    EXPECT_EQ(rig.conduit.getState(), Conduit::kFailed);
    EXPECT_EQ(rig.notifier.messages(),
              std::vector<std::string>{"USB Error: [3] Cannot Initialize Adapter"});
    // Once it is free, the next attempt succeeds.
    rig.emulator.close(other);
    EXPECT_EQ(rig.conduit.connect(), 1);
}

TEST(TarvikConduit, UnplugEndsTheReaderAndDisconnects) {
    test::CapturingTrace trace;
    Rig rig;
    ASSERT_EQ(rig.conduit.connect(), 1);
    rig.emulator.unplug();
    ASSERT_TRUE(waitUntil([&] { return rig.conduit.getState() == Conduit::kDisconnected; }));
    EXPECT_TRUE(trace.contains("is gone"));
    EXPECT_TRUE(rig.notifier.messages().empty());
    // Sending to the missing adapter is dropped quietly.
    const uint8_t data[] = {1};
    rig.conduit.sendFrame(0xFEEB, 0xF9, 6, 1, data);

    EXPECT_EQ(rig.conduit.connect(), 0);
    EXPECT_EQ(rig.notifier.messages(),
              std::vector<std::string>{"USB Error: [2] Cannot Find Adapter"});
    rig.emulator.plugIn();
    EXPECT_EQ(rig.conduit.connect(), 1);
    EXPECT_EQ(rig.conduit.getState(), Conduit::kConnected);
}

// A reader nobody takes frames from: the queue keeps the newest and counts what it let go.
TEST(UsbCanPort, AFullFrameQueueLetsTheOldestGoAndCountsThem) {
    FtFirmwareEmulator emulator;
    std::atomic<size_t> queued{0};
    UsbCanPort port(emulator, FtFirmwareEmulator::kSerialNumber,
                    [&](UsbCanPort&) { queued.fetch_add(1); });
    ASSERT_EQ(port.open(), FtDriver::kOk);
    const size_t sent = UsbCanPort::kFrameQueueLimit + 10;
    // In batches the emulated device can hold; the timestamp numbers the frames.
    for (size_t batch = 0; batch < sent; batch += 1000) {
        const size_t end = std::min(sent, batch + 1000);
        for (size_t i = batch; i < end; ++i) {
            emulator.injectPayload(Bytes{0x80, 0x42, 0xEB, 0xFE, 0x18, static_cast<uint8_t>(i),
                                         static_cast<uint8_t>(i >> 8), 0, 0, 0, 1, 0x01});
        }
        ASSERT_TRUE(waitUntil([&] { return port.readStep() && queued.load() == end; }));
    }
    ASSERT_EQ(emulator.framesLost(), 0u);  // every frame reached the port
    EXPECT_EQ(port.takeDroppedFrames(), 10u);
    EXPECT_EQ(port.takeDroppedFrames(), 0u);  // counted once
    size_t taken = 0;
    uint32_t first = 0;
    while (auto frame = port.takeFrame()) {
        if (taken++ == 0) first = frame->timestamp;
    }
    EXPECT_EQ(taken, UsbCanPort::kFrameQueueLimit);
    EXPECT_EQ(first, 10u);
    port.close();
}

TEST(TarvikConduit, DisabledRefusesToConnect) {
    Rig rig;
    ASSERT_EQ(rig.conduit.connect(), 1);
    rig.conduit.setState(Conduit::kDisabled);
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisabled);
    EXPECT_FALSE(rig.emulator.isOpen());
    EXPECT_EQ(rig.conduit.connect(), 0);
    rig.conduit.disconnect();
    EXPECT_EQ(rig.conduit.getState(), Conduit::kDisabled);
    size_t commands = rig.emulator.commands().size();
    rig.conduit.setState(Conduit::kDisconnected);
    EXPECT_EQ(rig.conduit.connect(), 1);
    EXPECT_GT(rig.emulator.commands().size(), commands);
}

TEST(TarvikConduit, TheSimulatedVehicleAppearsThroughTheAdapter) {
    sim::SimulatedVehicle vehicle;
    Rig rig({}, &vehicle);
    ASSERT_EQ(rig.conduit.connect(), 1);
    // Ask every node for its PRODUCT_ID: the request goes out through the adapter and the
    // answers come back as long messages.
    const uint8_t request[] = {0xEB, 0xFE, 0x00};
    rig.conduit.send(0xEAFF, 0xF9, 6, 3, request);
    ASSERT_TRUE(waitUntil([&] { return rig.core.devices.nodes().size() >= 5; }, 5000ms));
    EXPECT_GT(rig.emulator.framesToTool(), 0u);
    EXPECT_FALSE(rig.core.clients.raw().empty());
    auto fromTool = rig.emulator.framesFromTool();
    ASSERT_FALSE(fromTool.empty());
    EXPECT_EQ(+fromTool[0].dgn, 0xEAFFu);
    EXPECT_EQ(fromTool[0].sa, 0xF9);
}

TEST(TarvikConduit, RealDriverWithoutAnAdapterCannotFindIt) {
    LibFtdiDriver driver;
    uint32_t count = 0;
    FtDriver::Status listed = driver.deviceCount(count);
    std::vector<std::string> descriptions;
    driver.descriptions(descriptions);
    for (const auto& d : descriptions) {
        if (d.starts_with(TarvikConduit::kDescriptionPrefix))
            GTEST_SKIP() << "an adapter is attached";
    }
    test::TransmitHarness core;
    AdapterSettings adapterSettings{core.settings};
    RecordingNotifier notifier;
    TarvikConduit conduit{core.settings,   core.transmit, core.manager,
                          adapterSettings, driver,        notifier};
    EXPECT_EQ(conduit.connect(), 0);
    EXPECT_EQ(conduit.getState(), Conduit::kDisconnected);
    // No USB access at all, no FTDI device, or FTDI devices of other kinds.
    int code = listed != FtDriver::kOk ? static_cast<int>(listed) : count == 0 ? 2 : 0;
    EXPECT_EQ(notifier.messages(), std::vector<std::string>{"USB Error: [" + std::to_string(code) +
                                                            "] Cannot Find Adapter"});
}

}  // namespace
}  // namespace corvane
