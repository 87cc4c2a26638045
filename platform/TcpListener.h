#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/TcpStream.h"

namespace corvane {

// A listening IPv4 TCP socket on one address. accept() runs on one thread; interrupt() may be
// called from any other to make a waiting (or any later) accept() give up.
class TcpListener {
  public:
    TcpListener();
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds address:port (port 0: any free port) and listens. False when any step fails;
    // error() then says which and why. SO_REUSEADDR is set, so the connections of an earlier
    // run waiting out their close do not keep the port from being bound again.
    bool listen(const std::string& address, uint16_t port);
    // Why the last listen() failed ("bind: Address already in use"); empty after a success.
    const std::string& error() const { return error_; }
    // The port actually bound; 0 before a successful listen().
    uint16_t port() const { return port_; }
    // Waits for one client; nullopt when interrupted or on a socket error.
    std::optional<TcpStream> accept();
    void interrupt();
    void close();

  private:
    int fd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    uint16_t port_ = 0;
    std::string error_;
};

}  // namespace corvane
