#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/TcpStream.h"

namespace corvane::test {

// A terminal program on the debug port: types lines, collects what comes back.
class DebugClient {
  public:
    explicit DebugClient(uint16_t port);
    bool connected() const { return stream_.valid(); }
    bool send(const std::string& line) { return stream_.send(line); }
    // Reads until the text received so far holds `marker`, at most `limit`.
    bool readUntil(const std::string& marker, std::chrono::milliseconds limit);
    // Reads until the tool closes the connection, at most `limit`; true when it did.
    bool readToEnd(std::chrono::milliseconds limit);
    void close() { stream_.close(); }

    std::string received;

  private:
    TcpStream stream_;
};

// Asks "devs" on a new connection and returns the report's device lines; nothing when the
// port did not answer within `limit`. "?" behind it marks where the report ends, since
// traces may arrive around it.
std::optional<std::vector<std::string>> askDevs(uint16_t port, std::chrono::milliseconds limit);

}  // namespace corvane::test
