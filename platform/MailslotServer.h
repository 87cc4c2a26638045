#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace corvane {

// The reading end of a mailslot: an AF_UNIX datagram socket bound at a path, one datagram
// per message. Read by one thread.
class MailslotServer {
  public:
    // Binds at `path`. A socket file left behind by a process that is gone is replaced; one
    // that a live process still reads is not, and the server is then invalid.
    explicit MailslotServer(std::string path);
    ~MailslotServer();
    MailslotServer(const MailslotServer&) = delete;
    MailslotServer& operator=(const MailslotServer&) = delete;

    bool valid() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // True when a datagram waits, within timeoutMs.
    bool waitReadable(int timeoutMs) const;
    // Takes the next datagram without blocking and copies at most buffer.size() bytes of it.
    // Returns the datagram's whole size, which may exceed the buffer (the rest is lost);
    // nullopt when none waits.
    std::optional<size_t> read(std::span<uint8_t> buffer);

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace corvane
