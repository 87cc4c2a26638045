#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

struct msghdr;

namespace corvane {

// One classic CAN frame as the kernel's raw CAN sockets carry it.
struct CanSocketFrame {
    uint32_t id = 0;  // 29 or 11 bits, flags removed
    bool extended = false;
    bool remote = false;
    bool error = false;
    uint8_t length = 0;
    std::array<uint8_t, 8> data{};
};

// A raw CAN socket bound to one named interface, taking extended data frames and the
// controller's error frames only, and not receiving its own transmissions.
//
// Threads: one reader calls read(); write() may be called from other threads at the same
// time (the kernel serialises the writes); open and close while no one reads.
class CanSocket {
  public:
    enum class Result {
        Ok,
        Timeout,        // read: nothing within the wait
        Unsupported,    // no CAN support on this machine (AF_CAN missing)
        NoInterface,    // no interface of that name
        InterfaceDown,  // the interface went down or away (adapter unplugged)
        Failed,         // anything else
    };

    CanSocket() = default;
    ~CanSocket();
    CanSocket(const CanSocket&) = delete;
    CanSocket& operator=(const CanSocket&) = delete;

    Result open(const std::string& interface);
    void close();
    bool isOpen() const { return fd_.load(std::memory_order_acquire) >= 0; }

    // Waits up to `timeoutMs` for one frame.
    Result read(CanSocketFrame& frame, int timeoutMs);
    Result write(const CanSocketFrame& frame);
    // Frames the kernel dropped for this socket (its queue was full) since the last call;
    // the reader's, like read().
    uint64_t takeNewDrops();

    // True when this machine can open raw CAN sockets at all.
    static bool supported();

  private:
    void noteDrops(const msghdr& message);

    std::atomic<int> fd_{-1};
    uint32_t kernelDrops_ = 0;  // the kernel's running count, as last read
    uint64_t newDrops_ = 0;
};

}  // namespace corvane
