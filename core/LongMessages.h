#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/FrameSender.h"
#include "core/RvcMessage.h"
#include "core/RvcSendRequest.h"
#include "platform/Clock.h"

namespace corvane {

class RVCManager;
class TransmitPath;

// Reassembles the transport-protocol transfers heard on the bus into complete messages, and
// splits the tool's own long messages into broadcast transfers.
//
// A slot is one transfer, keyed by its sender and destination: a broadcast announce opens one
// for everyone (0xFF), a request to send one for its destination. Transfers between other
// nodes are followed passively - their receiver's clear-to-send and the data packets are on the
// bus - and only a request to send addressed to the tool is answered, from the tool's address.
// A new announce for the same sender and destination replaces the older slot; an abort or an
// end-of-message ack closes it; a slot whose next frame is late (750 ms between packets,
// 1250 ms waiting for the data after a clear-to-send) is dropped, so a lost packet never lets
// the next transfer complete this one. Packets are matched by number: a repeat never counts
// twice, and a transfer completes only when every announced packet has arrived.
//
// Any dispatching thread may call in (an adapter's receive thread, the user-interface thread
// draining intake, a thread echoing a transmission); mutex_ guards the table. Completed
// messages and the tool's answers leave after the lock is released, because both can re-enter
// dispatch on the same thread. Time comes from the clock of the manager's device table.
class LongMessages {
  public:
    static constexpr size_t kSlots = 50;
    static constexpr size_t kPacketBytes = 7;
    static constexpr uint8_t kRequestToSend = 0x10;
    static constexpr uint8_t kClearToSend = 0x11;
    static constexpr uint8_t kEndOfMessageAck = 0x13;
    static constexpr uint8_t kBroadcastAnnounce = 0x20;
    static constexpr uint8_t kAbort = 0xFF;
    // Lowest priority: a clear-to-send never pushes ahead of the data it invites.
    static constexpr uint8_t kClearToSendPriority = 7;
    // The longest a slot waits for its next packet, and for the data after a clear-to-send.
    static constexpr int64_t kPacketTimeoutMs = 750;
    static constexpr int64_t kClearToSendTimeoutMs = 1250;

    // Slot contents as seen from outside, for tests and reports.
    struct SlotView {
        bool active;
        int32_t received;
        int32_t expected;
        uint32_t dgn;
        uint8_t sa;
        uint8_t destination;
        uint16_t length;
    };

    LongMessages(RVCManager& manager, TransmitPath& transmit);

    // A TP.CM frame (DGN family 0xEC00).
    void onConnectionFrame(const RvcMessage& message);
    // A TP.DT frame (DGN family 0xEB00): offered to the open transfer of its sender and
    // destination.
    void onDataFrame(const RvcMessage& message);

    // Slots past their time-out read inactive.
    SlotView slot(size_t index) const;
    size_t nextSlot() const;

    // Packets needed for n bytes: (n - 1) / 7 + 1.
    static constexpr uint8_t packetCount(uint16_t length) {
        return static_cast<uint8_t>((length - 1) / kPacketBytes + 1);
    }
    // The broadcast announcement of a transfer of `length` bytes of `dgn`.
    static std::array<uint8_t, 8> announceBytes(uint32_t dgn, uint16_t length);
    // Hands 9 to 1785 bytes to `sender` as a broadcast transfer: the announcement on 0xECFF,
    // then the packets on 0xEBFF, the last one padded with 0xFF. Back to back: pacing them is
    // the caller's business. Callers validate first.
    static void sendLong(FrameSender& sender, uint32_t dgn, uint8_t sa, uint8_t priority,
                         uint16_t length, const uint8_t* data);

  private:
    struct Slot {
        bool active = false;
        uint8_t destination = 0;
        int32_t received = 0;  // distinct packets taken in
        int32_t expected = 0;
        int64_t deadline = 0;  // steady milliseconds; the slot is dropped once past it
        std::bitset<256> packets;
        // A transfer to the tool: the packets each clear-to-send may invite and the last
        // packet the current one invited.
        uint8_t perClearToSend = 0;
        uint8_t windowEnd = 0;
    };

    bool liveLocked(const Slot& s, int64_t now) const { return s.active && now <= s.deadline; }
    Slot* findLocked(uint8_t sa, uint8_t destination, int64_t now);
    size_t freeSlotLocked(int64_t now);
    void openLocked(const RvcMessage& message, std::vector<RvcSendRequest>& answers, int64_t now);
    // Invites the next packets of a transfer to the tool: from the first missing one on.
    void inviteLocked(Slot& s, uint8_t sa, std::vector<RvcSendRequest>& answers);
    bool mayAnswer() const;
    int64_t now() const;

    RVCManager& manager_;
    TransmitPath& transmit_;
    mutable std::mutex mutex_;  // guards slots_, buffers_ and nextSlot_
    std::array<Slot, kSlots> slots_{};
    std::unique_ptr<RvcMessage[]> buffers_;
    size_t nextSlot_ = 0;
};

}  // namespace corvane
