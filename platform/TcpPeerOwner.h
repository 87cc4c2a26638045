#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane {

// One end of a TCP connection: an IPv6 address (IPv4 addresses in their mapped form
// ::ffff:a.b.c.d) and a port.
struct TcpEndpoint {
    std::array<uint8_t, 16> address{};
    uint16_t port = 0;
    bool operator==(const TcpEndpoint&) const = default;
};

// Which local user owns the other end of a loopback TCP connection. The kernel's socket
// tables (/proc/net/tcp, /proc/net/tcp6) list every socket of this network namespace with
// its owner's uid; the peer's socket is the row whose local end is our remote end and whose
// remote end is our local end.
//
// The parsing is pure over the table text; only ofConnection() and currentUser() ask the
// system. Addresses in the tables are 32-bit words printed from memory in the host's byte
// order, so the text is read as this host wrote it.
class TcpPeerOwner {
  public:
    // An address:port column of a table: 8 hex digits (IPv4) or 32 (IPv6), ":" and 4 hex
    // digits of port. On a little-endian host:
    //   "0100007F:FECA"                          -> ::ffff:127.0.0.1, port 65226
    //   "0000000000000000FFFF00000100007F:1F90"  -> ::ffff:127.0.0.1, port 8080
    //   "00000000000000000000000001000000:0016"  -> ::1, port 22
    //   "0100007F", "0100007:FECA", "0100007G:FECA" -> nothing
    static std::optional<TcpEndpoint> parseEndpoint(std::string_view text);

    // The uid of the socket whose local end is `local` and remote end `remote`, found in the
    // text of a socket table; nothing when no live row matches (a row in TIME_WAIT belongs
    // to nobody any more) or the row is malformed.
    static std::optional<uint32_t> findOwner(std::string_view table, const TcpEndpoint& local,
                                             const TcpEndpoint& remote);

    // The uid owning the other end of the connected socket `fd`; nothing when it cannot be
    // found (a peer in another network namespace or on another machine, or one that is gone).
    static std::optional<uint32_t> ofConnection(int fd);

    // The user this process runs as.
    static uint32_t currentUser();
};

}  // namespace corvane
