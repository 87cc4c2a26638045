// Frame streams through the manager's intake with long-message reassembly and request
// handling in place: the transport-protocol announcements, requests to send, clear-to-sends,
// aborts and data packets of several senders, mixed with requests and ordinary messages.
//
// The input is one flags byte, then frames of 10 bytes each: [source][selector][8 data bytes].
//   flags bits 0-1: the mute mode; bit 2: the adapter echoes what the tool sends; bit 3: the
//                   frames are parked by a diverted intake and dispatched by its drain.
//   selector bits 0-1: the DGN family - TP.CM (0xEC00), TP.DT (0xEB00), request (0xEA00), or
//                      one of PRODUCT_ID, DM_RV, DM1 and 0x1FFFF chosen by bits 4-5;
//   selector bits 2-3: the destination of the three PDU1 families: 0xFF, 0xF9, 0x42 or 0x00;
//   selector bit 7:    a short frame of (bits 4-6) bytes instead of 8.
// Besides crashes and sanitizer findings it checks that every message handed on is one a
// module can be given (kind 0, at most 1785 bytes) and that the tool sends only valid frames.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/ClientDelivery.h"
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/RvcFrame.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "fuzz/FuzzNetwork.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MemorySettingsStore.h"

namespace {

using namespace corvane;
using fuzz::check;

constexpr size_t kFrameBytes = 10;
constexpr uint32_t kFamilies[3] = {dgn::kTransportControl, dgn::kTransportData, dgn::kRequest};
constexpr uint32_t kOthers[4] = {dgn::kProductId, dgn::kDmRv, dgn::kDm1, 0x1FFFF};
constexpr uint8_t kDestinations[4] = {kGlobalAddress, kToolAddress, 0x42, 0x00};

// Where module clients would be: every record handed on is checked and counted.
class CheckingClients final : public ClientDelivery {
  public:
    void deliverRaw(const RvcFrame& frame) override {
        check(frame.kind == RvcFrame::kKind);
        ++raw;
    }
    void deliverCooked(const RvcMessage& message) override {
        check(message.kind == RvcMessage::kKind && message.length <= kMaxMessageData);
        ++cooked;
    }
    std::string report() const override { return {}; }
    size_t raw = 0;
    size_t cooked = 0;
};

RvcFrame frameFrom(const uint8_t* record) {
    const uint8_t sa = record[0];
    const uint8_t selector = record[1];
    const unsigned family = selector & 3;
    const uint32_t dgn = family < 3 ? kFamilies[family] + kDestinations[(selector >> 2) & 3]
                                    : kOthers[(selector >> 4) & 3];
    const uint16_t length = (selector & 0x80) ? (selector >> 4) & 7 : 8;
    return makeFrame(CanIdentifier{6, dgn, sa, 0}, 0, length, std::span(record + 2, 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::DiscardingSink sink;
    SetDebugSink(&sink);
    if (size == 0) return 0;
    const uint8_t flags = data[0];

    fuzz::FuzzNetwork net;
    RVCManager& manager = net.manager;
    net.adapter.echo = (flags & 4) ? 1 : 0;
    CheckingClients clients;
    manager.setTransportStage(&net.stage);
    manager.setClientDelivery(&clients);
    manager.setMuteMode(*muteModeFromWire(flags & 3));
    if (flags & 8) manager.divertIntake();

    size_t frames = 0;
    for (size_t at = 1; at + kFrameBytes <= size; at += kFrameBytes) {
        manager.intake(frameFrom(data + at));
        ++frames;
    }
    if (flags & 8) manager.drainIntake();
    check(!manager.intakeDiverted());
    // Every frame taken in reaches raw clients (echoes of what the tool sent come on top),
    // unless a full ring had to drop it.
    check(clients.raw + static_cast<size_t>(manager.overruns()) >= frames);

    for (size_t i = 0; i < LongMessages::kSlots; ++i) {
        const auto slot = net.longMessages.slot(i);
        check(slot.length <= kMaxMessageData && slot.received >= 0);
        check(!slot.active || slot.received < std::max(slot.expected, 1));
    }
    manager.statisticsStep();
    (void)manager.slots();
    manager.setClientDelivery(nullptr);
    manager.setTransportStage(nullptr);
    return 0;
}
