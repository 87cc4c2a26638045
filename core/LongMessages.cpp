#include "core/LongMessages.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/Dgn.h"
#include "core/MuteMode.h"
#include "core/RVCManager.h"
#include "core/RvcSendFromRequest.h"
#include "core/TransmitPath.h"

namespace corvane {

namespace {

// Readers over the bytes of a TP.CM frame.
constexpr uint8_t controlByte(const RvcMessage& m) { return m.data[0]; }
constexpr uint16_t announcedSize(const RvcMessage& m) {
    return static_cast<uint16_t>(m.data[1] | (m.data[2] << 8));
}
constexpr uint8_t announcedPackets(const RvcMessage& m) { return m.data[3]; }
constexpr uint32_t announcedDgn(const RvcMessage& m) {
    return m.data[5] | (uint32_t{m.data[6]} << 8) | (uint32_t{m.data[7]} << 16);
}

}  // namespace

LongMessages::LongMessages(RVCManager& manager, TransmitPath& transmit)
    : manager_(manager), transmit_(transmit), buffers_(std::make_unique<RvcMessage[]>(kSlots)) {}

void LongMessages::onConnectionFrame(const RvcMessage& message) {
    const uint16_t size = announcedSize(message);
    // Checked before any slot is touched: an oversized announcement is ignored entirely and
    // must not cost the transfer that occupies the slot it would have taken.
    if (size > kMaxMessageData) return;

    {
        std::lock_guard lock(mutex_);
        const size_t i = nextSlot_;
        slots_[i] = Slot{true, 0, announcedPackets(message)};
        RvcMessage& buffer = buffers_[i];
        buffer.kind = RvcMessage::kKind;
        buffer.dgn = announcedDgn(message);
        buffer.sa = message.sa;
        buffer.length = size;
        std::memset(buffer.data, 0xFF, size);
        nextSlot_ = (i + 1) % kSlots;
    }

    if (controlByte(message) != kRequestToSend) return;
    if (!transmitAllowed(TransmitSource::ClearToSend,
                         manager_.muteMode().load(std::memory_order_relaxed)))
        return;
    // The answer goes out from the request's destination; the global address is no source
    // address, so a request to send addressed to everyone gets no answer.
    const uint8_t destination = destinationOf(message.dgn);
    if (destination == kGlobalAddress) return;

    // All announced packets may come, starting with packet 1.
    const uint8_t* d = message.data;
    const uint8_t answer[8] = {kClearToSend, d[3], 0x01, 0xFF, d[4], d[5], d[6], d[7]};
    if (auto cts = makeSendFromRequest(destination, dgn::kTransportControl + message.sa,
                                       kClearToSendPriority, answer)) {
        transmit_.sendFromRequest(*cts);
    }
}

void LongMessages::onDataFrame(const RvcMessage& message) {
    const uint8_t packet = message.data[0];
    std::vector<RvcMessage> completed;
    {
        std::lock_guard lock(mutex_);
        // Every matching slot is served: two transfers open from one sender both count it.
        for (size_t i = 0; i < kSlots; ++i) {
            Slot& s = slots_[i];
            RvcMessage& buffer = buffers_[i];
            if (!s.active || buffer.sa != message.sa) continue;
            // Packets are counted, not matched: a repeat counts again.
            if (packet < 1 || packet > s.expected) continue;
            std::memcpy(buffer.data + (packet - 1) * kPacketBytes, message.data + 1, kPacketBytes);
            if (++s.received < s.expected) continue;
            s.active = false;
            const auto carried = static_cast<uint16_t>(s.expected * kPacketBytes);
            // Compared by value: the packed field may sit at any address.
            if (buffer.length > carried) buffer.length = carried;
            completed.push_back(buffer);
        }
    }
    for (const auto& m : completed) manager_.dispatchMessage(m);
}

LongMessages::SlotView LongMessages::slot(size_t index) const {
    std::lock_guard lock(mutex_);
    const Slot& s = slots_[index % kSlots];
    const RvcMessage& b = buffers_[index % kSlots];
    return SlotView{s.active, s.received, s.expected, b.dgn, b.sa, b.length};
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
