#include <gtest/gtest.h>

#include <string>

#include "platform/TcpPeerOwner.h"

namespace corvane {
namespace {

TcpEndpoint v4(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
    TcpEndpoint end;
    end.address[10] = 0xFF;
    end.address[11] = 0xFF;
    end.address[12] = a;
    end.address[13] = b;
    end.address[14] = c;
    end.address[15] = d;
    end.port = port;
    return end;
}

// The tables as a little-endian host prints them.
TEST(TcpPeerOwner, ParsesTheAddressColumns) {
    TcpEndpoint loopback6;
    loopback6.address[15] = 1;
    loopback6.port = 22;
    struct Case {
        const char* text;
        std::optional<TcpEndpoint> expected;
    };
    const Case cases[] = {
        {"0100007F:FECA", v4(127, 0, 0, 1, 65226)},
        {"0000000000000000FFFF00000100007F:1F90", v4(127, 0, 0, 1, 8080)},
        {"00000000000000000000000001000000:0016", loopback6},
        {"0100007F", std::nullopt},
        {"0100007:FECA", std::nullopt},
        {"0100007G:FECA", std::nullopt},
        {"0100007F:FECA0", std::nullopt},
        {"local_address", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TcpPeerOwner::parseEndpoint(c.text), c.expected);
    }
}

TEST(TcpPeerOwner, FindsTheUidOfTheSocketWithBothEnds) {
    // The tool listens on 127.0.0.1:65226 (uid 1000) and has accepted a connection from port
    // 40000; the client's own socket is the row whose ends are the other way round.
    const std::string table =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
        "timeout inode\n"
        "   0: 0100007F:FECA 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000   "
        "     0 11111 1 0000000000000000 100 0 0 10 0\n"
        "   1: 0100007F:9C40 0100007F:FECA 01 00000000:00000000 00:00000000 00000000  1001   "
        "     0 22222 1 0000000000000000 20 4 30 10 -1\n"
        "   2: 0100007F:FECA 0100007F:9C40 01 00000000:00000000 00:00000000 00000000  1000   "
        "     0 33333 1 0000000000000000 20 4 30 10 -1\n"
        "   3: 0100007F:9C41 0100007F:FECA 06 00000000:00000000 03:00001770 00000000     0   "
        "     0 0 3 0000000000000000\n"
        "   4: 0100007F:9C42 0100007F:FECA 01 00000000:00000000 00:00000000 00000000  x1   "
        "     0 44444 1 0000000000000000 20 4 30 10 -1\n";
    const TcpEndpoint tool = v4(127, 0, 0, 1, 65226);
    struct Case {
        uint16_t clientPort;
        std::optional<uint32_t> owner;
    };
    const Case cases[] = {
        {40000, 1001},          // the client's socket, not the tool's end of the connection
        {40001, std::nullopt},  // TIME_WAIT: the socket belongs to nobody any more
        {40002, std::nullopt},  // a malformed uid column
        {40003, std::nullopt},  // no such connection
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clientPort);
        EXPECT_EQ(TcpPeerOwner::findOwner(table, v4(127, 0, 0, 1, c.clientPort), tool), c.owner);
    }
}

}  // namespace
}  // namespace corvane
