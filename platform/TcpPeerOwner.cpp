#include "platform/TcpPeerOwner.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "platform/RegularFile.h"

namespace corvane {

namespace {

constexpr std::string_view kTimeWait = "06";
constexpr size_t kMaxTableBytes = size_t{64} << 20;
constexpr size_t kLocalColumn = 1;
constexpr size_t kRemoteColumn = 2;
constexpr size_t kStateColumn = 3;
constexpr size_t kUidColumn = 7;

template <typename Number>
bool parseHex(std::string_view text, Number& value) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> columns(std::string_view line) {
    std::vector<std::string_view> out;
    size_t at = 0;
    while (at < line.size()) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) break;
        size_t end = line.find_first_of(" \t", at);
        if (end == std::string_view::npos) end = line.size();
        out.push_back(line.substr(at, end - at));
        at = end;
    }
    return out;
}

TcpEndpoint fromSocketAddress(const sockaddr_storage& address) {
    TcpEndpoint end;
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        end.address[10] = 0xFF;
        end.address[11] = 0xFF;
        std::memcpy(end.address.data() + 12, &in.sin_addr, 4);
        end.port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        std::memcpy(end.address.data(), &in6.sin6_addr, 16);
        end.port = ntohs(in6.sin6_port);
    }
    return end;
}

}  // namespace

std::optional<TcpEndpoint> TcpPeerOwner::parseEndpoint(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view address = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);
    TcpEndpoint end;
    if (port.size() != 4 || !parseHex(port, end.port)) return std::nullopt;
    if (address.size() != 8 && address.size() != 32) return std::nullopt;
    // Each group of 8 digits is one word as the host held it in memory.
    const size_t words = address.size() / 8;
    uint8_t* into = end.address.data() + (words == 1 ? 12 : 0);
    for (size_t w = 0; w < words; ++w) {
        uint32_t word = 0;
        if (!parseHex(address.substr(w * 8, 8), word)) return std::nullopt;
        std::memcpy(into + w * 4, &word, 4);
    }
    if (words == 1) {
        end.address[10] = 0xFF;
        end.address[11] = 0xFF;
    }
    return end;
}

std::optional<uint32_t> TcpPeerOwner::findOwner(std::string_view table, const TcpEndpoint& local,
                                                const TcpEndpoint& remote) {
    size_t at = 0;
    while (at < table.size()) {
        size_t end = table.find('\n', at);
        if (end == std::string_view::npos) end = table.size();
        const std::vector<std::string_view> row = columns(table.substr(at, end - at));
        at = end + 1;
        if (row.size() <= kUidColumn || row[kStateColumn] == kTimeWait) continue;
        if (parseEndpoint(row[kLocalColumn]) != local) continue;
        if (parseEndpoint(row[kRemoteColumn]) != remote) continue;
        uint32_t uid = 0;
        auto [last, error] = std::from_chars(
            row[kUidColumn].data(), row[kUidColumn].data() + row[kUidColumn].size(), uid, 10);
        if (error != std::errc() || last != row[kUidColumn].data() + row[kUidColumn].size()) {
            return std::nullopt;
        }
        return uid;
    }
    return std::nullopt;
}

std::optional<uint32_t> TcpPeerOwner::ofConnection(int fd) {
    sockaddr_storage ours{};
    sockaddr_storage theirs{};
    socklen_t oursSize = sizeof ours;
    socklen_t theirsSize = sizeof theirs;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&ours), &oursSize) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&theirs), &theirsSize) != 0) {
        return std::nullopt;
    }
    const TcpEndpoint us = fromSocketAddress(ours);
    const TcpEndpoint peer = fromSocketAddress(theirs);
    // An IPv4 peer may still have connected from an IPv6 socket: its row is then in tcp6.
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::string table;
        if (RegularFile::readAll(path, kMaxTableBytes, table) != RegularFile::Status::Ok) continue;
        if (auto owner = findOwner(table, peer, us)) return owner;
    }
    return std::nullopt;
}

// Sockets carry the uid their creator acted with (the effective one), so this compares with it.
uint32_t TcpPeerOwner::currentUser() { return static_cast<uint32_t>(::geteuid()); }

}  // namespace corvane
