#include "core/LongMessages.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/Dgn.h"
#include "core/MuteMode.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"

namespace corvane {

namespace {

// Readers over the bytes of a TP.CM frame.
constexpr uint8_t controlByte(const RvcMessage& m) { return m.data[0]; }
constexpr uint16_t announcedSize(const RvcMessage& m) {
    return static_cast<uint16_t>(m.data[1] | (m.data[2] << 8));
}
constexpr uint8_t announcedPackets(const RvcMessage& m) { return m.data[3]; }
// A request to send: how many packets one clear-to-send may invite (0xFF: no limit).
constexpr uint8_t packetsPerClearToSend(const RvcMessage& m) { return m.data[4]; }
constexpr uint32_t announcedDgn(const RvcMessage& m) {
    return m.data[5] | (uint32_t{m.data[6]} << 8) | (uint32_t{m.data[7]} << 16);
}

// A TP.CM frame from the tool to `to` about `dgn`.
RvcSendRequest toolControlFrame(uint8_t to, uint8_t control, uint8_t b1, uint8_t b2, uint8_t b3,
                                uint8_t b4, uint32_t dgn) {
    const uint8_t data[8] = {control,
                             b1,
                             b2,
                             b3,
                             b4,
                             static_cast<uint8_t>(dgn & 0xFF),
                             static_cast<uint8_t>((dgn >> 8) & 0xFF),
                             static_cast<uint8_t>((dgn >> 16) & 0xFF)};
    return *makeSendRequest(dgn::kTransportControl + to, LongMessages::kClearToSendPriority, data);
}

}  // namespace

LongMessages::LongMessages(RVCManager& manager, TransmitPath& transmit)
    : manager_(manager), transmit_(transmit), buffers_(std::make_unique<RvcMessage[]>(kSlots)) {}

int64_t LongMessages::now() const { return manager_.deviceTable().clock().steadyMilliseconds(); }

bool LongMessages::mayAnswer() const {
    return transmitAllowed(TransmitSource::ClearToSend, manager_.muteMode());
}

LongMessages::Slot* LongMessages::findLocked(uint8_t sa, uint8_t destination, int64_t now) {
    for (size_t i = 0; i < kSlots; ++i) {
        Slot& s = slots_[i];
        if (!s.active || buffers_[i].sa != sa || s.destination != destination) continue;
        if (liveLocked(s, now)) return &s;
        s.active = false;  // timed out: its packets must not mix with a later transfer's
    }
    return nullptr;
}

size_t LongMessages::freeSlotLocked(int64_t now) {
    // The first free slot from nextSlot on; with all 50 busy, the one at nextSlot (the oldest
    // announcement) is taken over.
    for (size_t k = 0; k < kSlots; ++k) {
        const size_t i = (nextSlot_ + k) % kSlots;
        if (!liveLocked(slots_[i], now)) return i;
    }
    return nextSlot_;
}

void LongMessages::onConnectionFrame(const RvcMessage& message) {
    std::vector<RvcSendRequest> answers;
    {
        std::lock_guard lock(mutex_);
        const int64_t t = now();
        const uint8_t destination = destinationOf(message.dgn);
        switch (controlByte(message)) {
            case kRequestToSend:
            case kBroadcastAnnounce:
                openLocked(message, answers, t);
                break;
            case kClearToSend:
                // The receiver invites data: the sender now has 1250 ms to send it.
                if (Slot* s = findLocked(destination, message.sa, t)) {
                    s->deadline = t + kClearToSendTimeoutMs;
                }
                break;
            case kEndOfMessageAck:
                if (Slot* s = findLocked(destination, message.sa, t)) s->active = false;
                break;
            case kAbort: {
                // Either end may abort; the DGN tells which of their transfers it ends.
                const uint32_t aborted = announcedDgn(message);
                const uint8_t sa = message.sa;
                for (auto [from, to] : {std::pair{sa, destination}, std::pair{destination, sa}}) {
                    Slot* s = findLocked(from, to, t);
                    if (s && buffers_[static_cast<size_t>(s - slots_.data())].dgn == aborted) {
                        s->active = false;
                    }
                }
                break;
            }
            default:
                break;
        }
    }
    for (const auto& a : answers) transmit_.sendRequest(a);
}

void LongMessages::openLocked(const RvcMessage& message, std::vector<RvcSendRequest>& answers,
                              int64_t now) {
    const uint16_t size = announcedSize(message);
    const uint8_t packets = announcedPackets(message);
    const uint8_t destination = destinationOf(message.dgn);
    const bool request = controlByte(message) == kRequestToSend;
    // Checked before any slot is touched: an announcement that cannot be reassembled must not
    // cost the transfer that occupies the slot it would have taken. A request to send to
    // everyone is no transfer at all.
    if (size > kMaxMessageData || packets == 0) return;
    if (request && destination == kGlobalAddress) return;

    // A new announcement from this sender to this destination ends the older transfer.
    Slot* previous = findLocked(message.sa, destination, now);
    const size_t i = previous ? static_cast<size_t>(previous - slots_.data()) : freeSlotLocked(now);
    Slot& s = slots_[i];
    s = Slot{};
    s.active = true;
    s.destination = destination;
    s.expected = packets;
    s.deadline = now + (request ? kClearToSendTimeoutMs : kPacketTimeoutMs);
    RvcMessage& buffer = buffers_[i];
    buffer.kind = RvcMessage::kKind;
    buffer.dgn = announcedDgn(message);
    buffer.sa = message.sa;
    buffer.length = size;
    std::memset(buffer.data, 0xFF, size);
    if (!previous) nextSlot_ = (i + 1) % kSlots;

    // Only a request addressed to the tool is the tool's to answer; between other nodes the
    // real receiver answers.
    if (!request || destination != kToolAddress || !mayAnswer()) return;
    const uint8_t limit = packetsPerClearToSend(message);
    s.perClearToSend = limit == 0 ? 0xFF : limit;
    inviteLocked(s, message.sa, answers);
}

void LongMessages::inviteLocked(Slot& s, uint8_t sa, std::vector<RvcSendRequest>& answers) {
    int first = 1;
    while (first <= s.expected && s.packets[first]) ++first;
    const int count = std::min<int>(s.perClearToSend, s.expected - first + 1);
    s.windowEnd = static_cast<uint8_t>(first + count - 1);
    const RvcMessage& buffer = buffers_[static_cast<size_t>(&s - slots_.data())];
    answers.push_back(toolControlFrame(sa, kClearToSend, static_cast<uint8_t>(count),
                                       static_cast<uint8_t>(first), 0xFF, 0xFF, buffer.dgn));
}

void LongMessages::onDataFrame(const RvcMessage& message) {
    const uint8_t packet = message.data[0];
    std::vector<RvcSendRequest> answers;
    bool completed = false;
    RvcMessage done;
    {
        std::lock_guard lock(mutex_);
        const int64_t t = now();
        Slot* s = findLocked(message.sa, destinationOf(message.dgn), t);
        if (!s || packet < 1 || packet > s->expected) return;
        s->deadline = t + kPacketTimeoutMs;
        RvcMessage& buffer = buffers_[static_cast<size_t>(s - slots_.data())];
        if (!s->packets[packet]) {
            s->packets[packet] = true;
            ++s->received;
            // The last packet's bytes past the announced length are dropped, never written.
            const size_t offset = (packet - 1) * kPacketBytes;
            if (offset < buffer.length) {
                const size_t n = std::min<size_t>(kPacketBytes, buffer.length - offset);
                std::memcpy(buffer.data + offset, message.data + 1, n);
            }
        }
        const bool toTool = s->destination == kToolAddress && s->perClearToSend != 0;
        if (s->received == s->expected) {
            s->active = false;
            if (toTool && mayAnswer()) {
                answers.push_back(toolControlFrame(
                    message.sa, kEndOfMessageAck, static_cast<uint8_t>(buffer.length & 0xFF),
                    static_cast<uint8_t>(buffer.length >> 8), static_cast<uint8_t>(s->expected),
                    0xFF, buffer.dgn));
            }
            const auto carried = static_cast<uint16_t>(s->expected * kPacketBytes);
            // Compared by value: the packed field may sit at any address.
            if (buffer.length > carried) buffer.length = carried;
            done = buffer;
            completed = true;
        } else if (toTool && packet >= s->windowEnd && mayAnswer()) {
            inviteLocked(*s, message.sa, answers);
            s->deadline = t + kClearToSendTimeoutMs;
        }
    }
    for (const auto& a : answers) transmit_.sendRequest(a);
    if (completed) manager_.dispatchMessage(done);
}

LongMessages::SlotView LongMessages::slot(size_t index) const {
    std::lock_guard lock(mutex_);
    const Slot& s = slots_[index % kSlots];
    const RvcMessage& b = buffers_[index % kSlots];
    return SlotView{liveLocked(s, now()), s.received, s.expected, b.dgn, b.sa,
                    s.destination,        b.length};
}

size_t LongMessages::nextSlot() const {
    std::lock_guard lock(mutex_);
    return nextSlot_;
}

std::array<uint8_t, 8> LongMessages::announceBytes(uint32_t dgn, uint16_t length) {
    return {kBroadcastAnnounce,
            static_cast<uint8_t>(length & 0xFF),
            static_cast<uint8_t>(length >> 8),
            packetCount(length),
            0xFF,
            static_cast<uint8_t>(dgn & 0xFF),
            static_cast<uint8_t>((dgn >> 8) & 0xFF),
            static_cast<uint8_t>((dgn >> 16) & 0xFF)};
}

void LongMessages::sendLong(FrameSender& sender, uint32_t dgn, uint8_t sa, uint8_t priority,
                            uint16_t length, const uint8_t* data) {
    const auto announce = announceBytes(dgn, length);
    sender.sendFrame(dgn::kTransportControl + kGlobalAddress, sa, priority, 8, announce.data());

    const uint8_t packets = packetCount(length);
    size_t offset = 0;
    for (int k = 1; k <= packets; ++k) {
        uint8_t frame[8];
        std::memset(frame, 0xFF, sizeof frame);
        frame[0] = static_cast<uint8_t>(k);
        const size_t n = std::min<size_t>(kPacketBytes, length - offset);
        std::memcpy(frame + 1, data + offset, n);
        offset += n;
        sender.sendFrame(dgn::kTransportData + kGlobalAddress, sa, priority, 8, frame);
    }
}

}  // namespace corvane
