#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/FrameSender.h"
#include "core/RvcMessage.h"

namespace corvane {

class RVCManager;
class TransmitPath;

// Reassembles the transport-protocol transfers heard on the bus (broadcast and
// connection-mode alike, whatever their destination) into complete messages, answers requests
// to send with a clear-to-send, and splits the tool's own long messages into broadcast
// transfers.
//
// There are no timers: a slot collects packets until its transfer completes or a later
// announcement takes the slot over. Any dispatching thread may call in (an adapter's receive
// thread, the user-interface thread draining intake, a thread echoing a transmission);
// mutex_ guards the table. Completed messages and clear-to-send answers leave after the lock
// is released, because both can re-enter dispatch on the same thread.
class LongMessages {
  public:
    static constexpr size_t kSlots = 50;
    static constexpr size_t kPacketBytes = 7;
    static constexpr uint8_t kRequestToSend = 0x10;
    static constexpr uint8_t kClearToSend = 0x11;
    static constexpr uint8_t kBroadcastAnnounce = 0x20;
    // Lowest priority: a clear-to-send never pushes ahead of the data it invites.
    static constexpr uint8_t kClearToSendPriority = 7;

    // Slot contents as seen from outside, for tests and reports.
    struct SlotView {
        bool active;
        int32_t received;
        int32_t expected;
        uint32_t dgn;
        uint8_t sa;
        uint16_t length;
    };

    LongMessages(RVCManager& manager, TransmitPath& transmit);

    // Every TP.CM frame (DGN family 0xEC00) opens a slot, whatever its control byte.
    void onConnectionFrame(const RvcMessage& message);
    // Every TP.DT frame (DGN family 0xEB00) is offered to every active slot of its sender.
    void onDataFrame(const RvcMessage& message);

    SlotView slot(size_t index) const;
    size_t nextSlot() const;

    // Packets needed for n bytes: (n - 1) / 7 + 1.
    static constexpr uint8_t packetCount(uint16_t length) {
        return static_cast<uint8_t>((length - 1) / kPacketBytes + 1);
    }
    // The broadcast announcement of a transfer of `length` bytes of `dgn`.
    static std::array<uint8_t, 8> announceBytes(uint32_t dgn, uint16_t length);
    // Sends 9 to 1785 bytes as a broadcast transfer: the announcement on 0xECFF, then the
    // packets on 0xEBFF back to back, the last one padded with 0xFF. Callers validate first.
    static void sendLong(FrameSender& sender, uint32_t dgn, uint8_t sa, uint8_t priority,
                         uint16_t length, const uint8_t* data);

  private:
    struct Slot {
        bool active = false;
        int32_t received = 0;
        int32_t expected = 0;
    };

    RVCManager& manager_;
    TransmitPath& transmit_;
    mutable std::mutex mutex_;  // guards slots_, buffers_ and nextSlot_
    std::array<Slot, kSlots> slots_{};
    std::unique_ptr<RvcMessage[]> buffers_;
    size_t nextSlot_ = 0;
};

}  // namespace corvane
