#include "tests/faults/DebugClient.h"

namespace corvane::test {

using namespace std::chrono_literals;

DebugClient::DebugClient(uint16_t port) : stream_(TcpStream::connectTo("127.0.0.1", port)) {}

bool DebugClient::readUntil(const std::string& marker, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (received.find(marker) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left <= 0ms) return false;
        if (!stream_.waitReadable(static_cast<int>(left.count()))) continue;
        uint8_t buffer[4096];
        const long n = stream_.receive(buffer);
        if (n <= 0) return received.find(marker) != std::string::npos;
        received.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    return true;
}

bool DebugClient::readToEnd(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (!stream_.waitReadable(20)) continue;
        uint8_t buffer[65536];
        const long n = stream_.receive(buffer);
        if (n <= 0) return true;
        received.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    return false;
}

std::optional<std::vector<std::string>> askDevs(uint16_t port, std::chrono::milliseconds limit) {
    DebugClient client(port);
    if (!client.connected() || !client.send("devs\r\n?\r\n")) return std::nullopt;
    if (!client.readUntil("Available Commands", limit)) return std::nullopt;
    const std::string& text = client.received;
    const size_t devices = text.find("Devices\n\r");
    const size_t end = text.find("Available Commands");
    if (devices == std::string::npos || devices > end) return std::nullopt;
    std::vector<std::string> lines;
    for (size_t at = text.find("  SA: ", devices); at < end; at = text.find("  SA: ", at + 1)) {
        lines.push_back(text.substr(at, text.find("\n\r", at) - at));
    }
    return lines;
}

}  // namespace corvane::test
