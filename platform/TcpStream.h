#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

// One connected TCP socket. Owned by one thread; shutdownBoth() may be called from another
// thread to wake a receive() blocked on this one, as long as the owner has not closed it.
class TcpStream {
  public:
    TcpStream() = default;
    explicit TcpStream(int fd);
    ~TcpStream();
    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    // An IPv4 connection to address:port (dotted quad); an invalid stream on failure.
    static TcpStream connectTo(const std::string& address, uint16_t port);

    bool valid() const { return fd_ >= 0; }
    // The uid of the local user at the other end (see TcpPeerOwner); nothing when unknown.
    std::optional<uint32_t> peerUserId() const;
    // True when a receive() would not block, within timeoutMs.
    bool waitReadable(int timeoutMs) const;
    // Bytes received (> 0), 0 when the peer closed, -1 on an error.
    long receive(std::span<uint8_t> buffer);
    // Sends every byte. Gives up (false) when the peer is gone or has not taken all of it
    // within a second, so that a stalled or trickling client cannot hold up the thread that
    // traces.
    bool send(std::string_view bytes);
    bool shutdownSend();
    void shutdownBoth();
    void close();

  private:
    int fd_ = -1;
};

}  // namespace corvane
