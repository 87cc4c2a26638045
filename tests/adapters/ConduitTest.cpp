#include <gtest/gtest.h>

#include <vector>

#include "adapters/Conduit.h"
#include "tests/core/TransmitHarness.h"

namespace corvane {
namespace {

TEST(Conduit, StateTransitionsOfTheNoAdapterConduit) {
    struct Case {
        ConduitState before;
        int connectResult;
        ConduitState afterConnect;
        ConduitState afterDisconnect;
    };
    const Case cases[] = {
        {Conduit::kDisconnected, 1, Conduit::kConnected, Conduit::kDisconnected},
        {Conduit::kConnected, 1, Conduit::kConnected, Conduit::kDisconnected},
        {Conduit::kLoggedIn, 1, Conduit::kConnected, Conduit::kDisconnected},
        {Conduit::kFailed, 1, Conduit::kConnected, Conduit::kDisconnected},
        {Conduit::kDisabled, 0, Conduit::kDisabled, Conduit::kDisabled},
    };
    test::TransmitHarness core;
    for (const auto& c : cases) {
        SCOPED_TRACE(stateNumber(c.before));
        Conduit conduit(core.settings, core.transmit);
        conduit.setState(c.before);
        EXPECT_EQ(conduit.connect(), c.connectResult);
        EXPECT_EQ(conduit.getState(), c.afterConnect);
        conduit.setState(c.before);
        EXPECT_EQ(conduit.reconnect(), c.connectResult);
        conduit.disconnect();
        EXPECT_EQ(conduit.getState(), c.afterDisconnect);
    }
}

TEST(Conduit, SendValidatesAndEchoesWithoutAnAdapter) {
    test::TransmitHarness core;
    core.settings.writeInteger("Corvane", "EchoTransmits", 1);
    Conduit none(core.settings, core.transmit);
    ASSERT_TRUE(none.echoTransmits());

    const uint8_t bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    none.send(0x1FFB7, 0x42, 6, 3, bytes);
    none.send(0x1FFB7, 0x42, 6, 9, bytes);
    none.send(0x1FFB7, 0x42, 9, 3, bytes);  // invalid priority: neither sent nor echoed

    // Nothing reaches the recording adapter that the transmit path holds as current: the
    // conduit's own send goes through the conduit.
    EXPECT_TRUE(core.sender.frames().empty());
    auto cooked = core.clients.cooked();
    ASSERT_EQ(cooked.size(), 2u);
    EXPECT_EQ(+cooked[0].length, 3);
    EXPECT_EQ(+cooked[1].length, 9);
    EXPECT_EQ(test::bytesOf(cooked[1]), std::vector<uint8_t>(bytes, bytes + 9));
}

TEST(Conduit, SendGoesThroughThisConduitsFrames) {
    // An adapter derived from Conduit receives the frames of its own send, long ones split.
    struct Wire final : Conduit {
        using Conduit::Conduit;
        void sendFrame(uint32_t dgn, uint8_t, uint8_t, uint16_t length, const uint8_t*) override {
            frames.emplace_back(dgn, length);
        }
        std::vector<std::pair<uint32_t, uint16_t>> frames;
    };
    test::TransmitHarness core;
    Wire wire(core.settings, core.transmit);
    const uint8_t bytes[20] = {};
    wire.send(0x1FFB7, 0x42, 6, 20, bytes);
    wire.send(0x1FFB7, 0x42, 6, 8, bytes);
    core.drainPaced();
    // A single frame does not wait behind the paced packets of a long transfer.
    EXPECT_EQ(wire.frames, (std::vector<std::pair<uint32_t, uint16_t>>{
                               {0xECFF, 8}, {0x1FFB7, 8}, {0xEBFF, 8}, {0xEBFF, 8}, {0xEBFF, 8}}));
}

}  // namespace
}  // namespace corvane
