#include "core/TransmitPath.h"

#include <span>

#include "core/CanIdentifier.h"
#include "core/Dgn.h"
#include "core/LongMessages.h"
#include "core/MuteMode.h"
#include "core/RVCManager.h"
#include "core/RvcFrame.h"
#include "core/ToolMessages.h"
#include "debugport/DebugPrint.h"

namespace corvane {

namespace {

constexpr int kScanLookahead = 32;
constexpr uint8_t kHousekeepingPeriodSteps = 25;  // 25 steps of 200 ms: every 5 seconds

constexpr bool validTransmit(uint32_t dgn, uint8_t priority, uint16_t length) {
    return priority <= kMaxPriority && dgn <= dgn::kMaxTransmit && length <= kMaxMessageData;
}

// The scan's next address: 254 and 255 are never asked, nor the tool itself.
constexpr uint8_t nextScanAddress(uint8_t p) {
    auto next = static_cast<uint8_t>(((p + 1) & 0xFF) % 254);
    return next == kToolAddress ? static_cast<uint8_t>(kToolAddress + 1) : next;
}

}  // namespace

TransmitPath::TransmitPath(RVCManager& manager)
    : manager_(manager), pacer_(manager.deviceTable().clock()) {}

void TransmitPath::send(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                        const uint8_t* data) {
    if (FrameSender* current = sender()) {
        sendVia(*current, dgn, sa, priority, length, data);
    } else if (!validTransmit(dgn, priority, length)) {
        DebugPrint("Invalid transmit: dgn:%X pr:%d len:%d\n", dgn, priority, length);
    }
}

void TransmitPath::sendVia(FrameSender& sender, uint32_t dgn, uint8_t sa, uint8_t priority,
                           uint16_t length, const uint8_t* data) {
    if (!validTransmit(dgn, priority, length) || (length > 0 && data == nullptr)) {
        DebugPrint("Invalid transmit: dgn:%X pr:%d len:%d\n", dgn, priority, length);
        return;
    }
    if (length <= 8) {
        sender.sendFrame(dgn, sa, priority, length, data);
    } else {
        pacer_.queue(sender, dgn, sa, priority, length, data);
    }
    if (sender.echoTransmits()) echo(dgn, sa, priority, length, data);
}

void TransmitPath::echo(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                        const uint8_t* data) {
    if (length <= 8) {
        manager_.intake(
            makeFrame(CanIdentifier{priority, dgn, sa, 0}, 0, length, std::span(data, length)));
        return;
    }
    // A long message: raw clients see the first frame that went out (the 8-byte
    // announcement), and the whole message takes the path of a reassembled one, so that
    // cooked clients and data fields see all of it. A frame claiming more bytes than it
    // holds is never made.
    const auto announce = LongMessages::announceBytes(dgn, length);
    manager_.intakeRawEcho(makeFrame(
        CanIdentifier{priority, dgn::kTransportControl + kGlobalAddress, sa, 0}, 0, 8, announce));
    if (auto message = makeMessage(dgn, sa, std::span(data, length))) {
        manager_.dispatchMessage(*message);
    }
}

void TransmitPath::sendRequest(const RvcSendRequest& r) {
    if (!validTransmit(r.dgn, r.priority, r.length)) {
        DebugPrint("Send Tx Error\r\n   %05X Len:%d  Data:%02X %02X %02X %02X\r\n", r.dgn, r.length,
                   r.data[0], r.data[1], r.data[2], r.data[3]);
        return;
    }
    send(r.dgn, kToolAddress, r.priority, r.length, r.data);
}

void TransmitPath::sendFromRequest(const RvcSendFromRequest& r) {
    if (!validTransmit(r.dgn, r.priority, r.length)) {
        DebugPrint("SendFromAddress Tx Error\r\n   %05X Len:%d  Data:%02X %02X %02X %02X\r\n",
                   r.dgn, r.length, r.data[0], r.data[1], r.data[2], r.data[3]);
        return;
    }
    send(r.dgn, r.sa, r.priority, r.length, r.data);
}

bool TransmitPath::scanOneAddress() {
    uint8_t p = manager_.scanPointer();
    for (int i = 0; i < kScanLookahead; ++i) {
        if (manager_.addressStats(p).active) break;
        p = nextScanAddress(p);
        manager_.setScanPointer(p);
    }
    if (!manager_.addressStats(p).active) return false;
    sendRequest(productIdScanRequest(p));
    manager_.setScanPointer(static_cast<uint8_t>(p + 1));
    return true;
}

void TransmitPath::housekeepingStep() {
    if (!manager_.scanNetwork()) return;
    if (!transmitAllowed(TransmitSource::Housekeeping, manager_.muteMode())) {
        return;
    }
    scanOneAddress();

    if (!manager_.countDownHousekeeping()) return;
    sendRequest(periodicDmRvRequest());
    if (manager_.supportLegacyDM1()) sendRequest(periodicDm1Request());
    manager_.setHousekeepingCountdown(kHousekeepingPeriodSteps);
}

void TransmitPath::answerRequest(const RvcMessage& message) {
    if (!isRequest(message.dgn)) return;
    if (!transmitAllowed(TransmitSource::RequestAnswer, manager_.muteMode())) {
        return;
    }
    // Only requests addressed to the tool are the tool's to answer: whoever holds another
    // address answers for itself, and requests to everyone get no answer at all. The tool's
    // own requests come back when echo is on; they are never answered either.
    if (message.dgn != dgn::kRequest + kToolAddress || message.sa == kToolAddress) return;
    switch (requestedDgn(message)) {
        case dgn::kDm1:
            if (manager_.supportLegacyDM1()) sendRequest(toolDm1Status());
            break;
        case dgn::kDmRv:
            sendRequest(toolDmRvStatus());
            break;
        case dgn::kAddressClaim:
            sendRequest(toolAddressClaim());
            break;
        case dgn::kProductId:
            sendRequest(toolProductId());
            break;
        default:
            break;
    }
}

}  // namespace corvane
