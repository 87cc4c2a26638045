#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/FtFirmwareEmulator.h"
#include "sim/SimulatedVehicle.h"

namespace corvane::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// The link framing written out by hand, so that the emulator is checked against the bytes
// themselves rather than against the adapter's own encoder.
Bytes frame(const Bytes& payload) {
    Bytes out = {0x10, 0x02};
    uint8_t sum = 0;
    auto put = [&](uint8_t b) {
        out.push_back(b);
        if (b == 0x10) out.push_back(0x10);
    };
    for (uint8_t b : payload) {
        put(b);
        sum ^= b;
    }
    put(sum);
    out.insert(out.end(), {0x10, 0x03});
    return out;
}

// The tool's end of one open device.
struct Tool {
    explicit Tool(FtFirmwareEmulator& e) : emulator(e) {
        EXPECT_EQ(emulator.openBySerialNumber(FtFirmwareEmulator::kSerialNumber, handle),
                  FtDriver::kOk);
    }
    FtDriver::Status send(const Bytes& payload) {
        Bytes wire = frame(payload);
        uint32_t written = 0;
        auto s = emulator.write(handle, wire, written);
        EXPECT_TRUE(s != FtDriver::kOk || written == wire.size());
        return s;
    }
    // Everything the emulator has for the tool after waiting up to `time` for the first byte.
    Bytes take(std::chrono::milliseconds time = 0ms) {
        emulator.waitForReceive(handle, static_cast<int>(time.count()));
        uint32_t waiting = 0;
        emulator.status(handle, waiting);
        Bytes out(waiting);
        uint32_t got = 0;
        emulator.read(handle, out, got);
        out.resize(got);
        return out;
    }
    FtFirmwareEmulator& emulator;
    FtDriver::Handle handle = FtDriver::kNoHandle;
};

TEST(FtFirmwareEmulator, ListsAndOpensDevices) {
    FtFirmwareEmulator::Options options;
    options.devices = {{"FT232R USB UART", "A1"}, {"USB-CAN Interface", "B2"}};
    FtFirmwareEmulator emulator(nullptr, options);

    uint32_t count = 0;
    EXPECT_EQ(emulator.deviceCount(count), FtDriver::kOk);
    EXPECT_EQ(count, 2u);
    std::vector<std::string> descriptions;
    EXPECT_EQ(emulator.descriptions(descriptions), FtDriver::kOk);
    EXPECT_EQ(descriptions, (std::vector<std::string>{"FT232R USB UART", "USB-CAN Interface"}));
    std::string serial;
    EXPECT_EQ(emulator.serialNumber(1, serial), FtDriver::kOk);
    EXPECT_EQ(serial, "B2");
    EXPECT_EQ(emulator.serialNumber(2, serial), FtDriver::kDeviceNotFound);

    FtDriver::Handle h = FtDriver::kNoHandle, second = FtDriver::kNoHandle;
    EXPECT_EQ(emulator.openBySerialNumber("nope", h), FtDriver::kDeviceNotFound);
    EXPECT_EQ(h, FtDriver::kNoHandle);
    EXPECT_EQ(emulator.openBySerialNumber("B2", h), FtDriver::kOk);
    EXPECT_EQ(emulator.openBySerialNumber("B2", second), FtDriver::kDeviceNotOpened);
    EXPECT_EQ(emulator.setUsbParameters(h, 2048, 2048), FtDriver::kOk);
    EXPECT_EQ(emulator.setUsbParameters(h, 100, 2048), FtDriver::kInvalidParameter);
    EXPECT_EQ(emulator.setUsbParameters(h + 1, 2048, 2048), FtDriver::kInvalidHandle);
    EXPECT_EQ(emulator.close(h), FtDriver::kOk);
    EXPECT_EQ(emulator.close(h), FtDriver::kInvalidHandle);
    EXPECT_FALSE(emulator.isOpen());
}

TEST(FtFirmwareEmulator, AnswersCommandsAsItsFirmwareState) {
    struct Step {
        Bytes command;
        Bytes answer;  // the framed bytes the tool receives
    };
    FtFirmwareEmulator::Options options;
    options.notStartedAnswers = 2;
    FtFirmwareEmulator emulator(nullptr, options);
    Tool tool(emulator);
    const Step steps[] = {
        {{0x00, 0xB2}, {}},                         // no data rate before the start
        {{0x00, 0x80}, frame({0x00, 0x80, 0x55})},  // not started (1)
        {{0x00, 0xD2}, {}},                         // too early: still not started
        {{0x00, 0x80}, frame({0x00, 0x80, 0x55})},  // not started (2)
        {{0x00, 0xD2}, {}},                         // starts now, silently
        {{0x00, 0x80}, frame({0x00, 0x80, 0xCC})},  // running
        {{0x00, 0xB2}, frame({0x00, 0xB2, '2'})},   // 250 kbit/s
        {{0x00, 0xB0}, frame({0x00, 0xB0, '0'})},   // any of 0-3
        {{0x00, 0xB4}, {}},                         // unknown
        {{0x00, 0x93}, frame({0x00, 0x93})},        // stop: back to power-on
        {{0x00, 0x80}, frame({0x00, 0x80, 0x55})},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.command[1]);
        ASSERT_EQ(tool.send(s.command), FtDriver::kOk);
        EXPECT_EQ(tool.take(s.answer.empty() ? 0ms : 500ms), s.answer);
    }
    EXPECT_EQ(emulator.dataRateCommand(), 0xB0);
    EXPECT_EQ(emulator.commands(),
              (Bytes{0xB2, 0x80, 0xD2, 0x80, 0xD2, 0x80, 0xB2, 0xB0, 0xB4, 0x93, 0x80}));
}

TEST(FtFirmwareEmulator, FaultModes) {
    FtFirmwareEmulator::Options never;
    never.neverStarts = true;
    FtFirmwareEmulator stuck(nullptr, never);
    Tool a(stuck);
    for (int i = 0; i < 5; ++i) {
        a.send({0x00, 0x80});
        a.send({0x00, 0xD2});
    }
    a.send({0x00, 0x80});
    Bytes expected;
    for (int i = 0; i < 6; ++i) {
        Bytes one = frame({0x00, 0x80, 0x55});
        expected.insert(expected.end(), one.begin(), one.end());
    }
    EXPECT_EQ(a.take(100ms), expected);
    EXPECT_FALSE(stuck.started());

    FtFirmwareEmulator::Options silent;
    silent.neverAnswers = true;
    FtFirmwareEmulator mute(nullptr, silent);
    Tool b(mute);
    b.send({0x00, 0x80});
    b.send({0x00, 0xD2});
    b.send({0x00, 0x80});
    EXPECT_EQ(b.take(50ms), Bytes{});
    EXPECT_EQ(mute.commands(), (Bytes{0x80, 0xD2, 0x80}));

    // A corrupted reply differs in its checksum byte only.
    FtFirmwareEmulator plain;
    Tool c(plain);
    plain.corruptNextChecksum();
    c.send({0x00, 0x80});
    c.send({0x00, 0x80});
    Bytes good = frame({0x00, 0x80, 0x55});
    Bytes bad = good;
    bad[bad.size() - 3] ^= 0x5A;
    bad.insert(bad.end(), good.begin(), good.end());
    EXPECT_EQ(c.take(100ms), bad);
}

TEST(FtFirmwareEmulator, CarriesFramesBothWaysWithTheVehicle) {
    SimulatedVehicle vehicle;
    FtFirmwareEmulator::Options options;
    options.runningAtPowerOn = true;
    FtFirmwareEmulator emulator(&vehicle, options);
    Tool tool(emulator);
    EXPECT_EQ(tool.take(50ms), Bytes{});  // nothing before the data rate puts it on the bus
    tool.send({0x00, 0xB2});
    Bytes received;
    auto until = std::chrono::steady_clock::now() + 1500ms;
    while (std::chrono::steady_clock::now() < until) {
        auto more = tool.take(20ms);
        received.insert(received.end(), more.begin(), more.end());
    }
    EXPECT_GT(emulator.framesToTool(), 5u);
    // Received frames start with 0x80 and carry a little-endian identifier of the vehicle.
    Bytes rateReply = frame({0x00, 0xB2, '2'});
    ASSERT_GT(received.size(), rateReply.size() + 14);
    EXPECT_TRUE(std::equal(rateReply.begin(), rateReply.end(), received.begin()));
    EXPECT_EQ(received[rateReply.size() + 2], 0x80);

    // A transmitted request (PRODUCT_ID to everyone) reaches the vehicle, which answers.
    ASSERT_EQ(tool.send({0xA0, 0x18, 0xEA, 0xFF, 0xF9, 0, 0, 0, 3, 0xEB, 0xFE, 0x00}),
              FtDriver::kOk);
    auto sent = emulator.framesFromTool();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(+sent[0].dgn, 0xEAFFu);
    EXPECT_EQ(sent[0].sa, 0xF9);
    EXPECT_EQ(sent[0].priority, 6);
    EXPECT_EQ(+sent[0].length, 3);
    // A malformed transmission (length beyond the data) is ignored.
    tool.send({0xA0, 0x18, 0xEA, 0xFF, 0xF9, 0, 0, 0, 5, 0xEB});
    EXPECT_EQ(emulator.framesFromTool().size(), 1u);
}

TEST(FtFirmwareEmulator, UnplugFailsEveryCallOnTheHandle) {
    FtFirmwareEmulator emulator;
    Tool tool(emulator);
    emulator.unplug();
    uint32_t n = 0;
    uint8_t buf[4];
    EXPECT_EQ(emulator.status(tool.handle, n), FtDriver::kIoError);
    EXPECT_EQ(emulator.read(tool.handle, buf, n), FtDriver::kIoError);
    EXPECT_EQ(emulator.waitForReceive(tool.handle, 10), FtDriver::kIoError);
    EXPECT_EQ(tool.send({0x00, 0x80}), FtDriver::kIoError);
    uint32_t count = 1;
    emulator.deviceCount(count);
    EXPECT_EQ(count, 0u);
    emulator.plugIn();
    EXPECT_EQ(emulator.status(tool.handle, n), FtDriver::kInvalidHandle);
    emulator.deviceCount(count);
    EXPECT_EQ(count, 1u);
}

TEST(FtFirmwareEmulator, ReceiveBufferIsBounded) {
    FtFirmwareEmulator emulator;
    Tool tool(emulator);
    const Bytes payload(200, 0x10);  // doubled: about 400 bytes framed
    for (int i = 0; i < 400; ++i) emulator.injectPayload(payload);
    uint32_t waiting = 0;
    emulator.status(tool.handle, waiting);
    EXPECT_LE(waiting, FtFirmwareEmulator::kReceiveBufferLimit);
    EXPECT_GT(emulator.framesLost(), 0u);
}

}  // namespace
}  // namespace corvane::sim
