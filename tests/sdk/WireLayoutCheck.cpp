// The module library carries its own copy of the client-bus wire layout, so that module
// programs build against it alone. This unit holds that copy to the tool's records byte for
// byte: a field moved or resized on either side stops the build.

#include <cstddef>

#include "core/ClientRequest.h"
#include "core/RvcFrame.h"
#include "core/RvcMessage.h"
#include "core/RvcSendFromRequest.h"
#include "core/RvcSendRequest.h"
#include "sdk/ModuleWire.h"

namespace corvane {
namespace {

namespace wire = sdk::at;

// Command codes.
static_assert(sdk::code::kSend == clientbus::kSend);
static_assert(sdk::code::kSendFrom == clientbus::kSendFrom);
static_assert(sdk::code::kSimulate == clientbus::kSimulate);
static_assert(sdk::code::kRawFrame == clientbus::kRawFrame);
static_assert(sdk::code::kHousekeeping == clientbus::kHousekeeping);
static_assert(sdk::code::kAddAddress == clientbus::kAddAddress);
static_assert(sdk::code::kRemoveAddress == clientbus::kRemoveAddress);
static_assert(sdk::code::kAddDgn == clientbus::kAddDgn);
static_assert(sdk::code::kRemoveDgn == clientbus::kRemoveDgn);
static_assert(sdk::code::kAddLegacyRaw == clientbus::kAddLegacyRaw);
static_assert(sdk::code::kRemoveLegacyRaw == clientbus::kRemoveLegacyRaw);
static_assert(sdk::code::kAddRaw == clientbus::kAddRaw);
static_assert(sdk::code::kRemoveRaw == clientbus::kRemoveRaw);
static_assert(sdk::code::kScanOff == clientbus::kScanOff);
static_assert(sdk::code::kScanOn == clientbus::kScanOn);
static_assert(sdk::code::kMode == clientbus::kMode);
static_assert(sdk::code::kModeReply == clientbus::kModeReply);
static_assert(sdk::code::kUnregister == clientbus::kUnregister);
static_assert(sdk::code::kRegister == clientbus::kRegister);
static_assert(RvcMessage::kKind == sdk::code::kSend);  // a delivered message starts with 0
static_assert(RvcFrame::kKind == sdk::code::kRawFrame);

// Sizes and the token.
static_assert(sdk::kMaxRequest == clientbus::kMaxRequest);
static_assert(wire::kToken == clientbus::kTokenOffset);
static_assert(wire::kTokenArgument == clientbus::kArgumentOffset);

// Send and housekeeping requests.
static_assert(sdk::kSendHeader == RvcSendRequest::kHeaderSize);
static_assert(sdk::kSendHeader == offsetof(RvcSendRequest, data));
static_assert(offsetof(RvcSendRequest, code) == 0);
static_assert(wire::kSendDgn == offsetof(RvcSendRequest, dgn));
static_assert(wire::kSendPriority == offsetof(RvcSendRequest, priority));
static_assert(wire::kSendLength == offsetof(RvcSendRequest, length));
static_assert(sizeof(RvcSendRequest::dgn) == 4 && sizeof(RvcSendRequest::length) == 2);

// Send-from requests.
static_assert(sdk::kSendFromHeader == RvcSendFromRequest::kHeaderSize);
static_assert(sdk::kSendFromHeader == offsetof(RvcSendFromRequest, data));
static_assert(offsetof(RvcSendFromRequest, code) == 0);
static_assert(wire::kSendFromSa == offsetof(RvcSendFromRequest, sa));
static_assert(wire::kSendFromDgn == offsetof(RvcSendFromRequest, dgn));
static_assert(wire::kSendFromPriority == offsetof(RvcSendFromRequest, priority));
static_assert(wire::kSendFromLength == offsetof(RvcSendFromRequest, length));
static_assert(sizeof(RvcSendFromRequest::dgn) == 4 && sizeof(RvcSendFromRequest::length) == 2);

// Simulated receptions and delivered messages.
static_assert(sdk::kMessageHeader == RvcMessage::kHeaderSize);
static_assert(sdk::kMessageHeader == offsetof(RvcMessage, data));
static_assert(offsetof(RvcMessage, kind) == 0);
static_assert(wire::kMessageDgn == offsetof(RvcMessage, dgn));
static_assert(wire::kMessageSa == offsetof(RvcMessage, sa));
static_assert(wire::kMessageLength == offsetof(RvcMessage, length));
static_assert(sizeof(RvcMessage::dgn) == 4 && sizeof(RvcMessage::length) == 2);

// Raw frames.
static_assert(sdk::kFrameHeader == RvcFrame::kHeaderSize);
static_assert(sdk::kFrameHeader == offsetof(RvcFrame, data));
static_assert(offsetof(RvcFrame, kind) == 0);
static_assert(wire::kFrameDgn == offsetof(RvcFrame, dgn));
static_assert(wire::kFrameSa == offsetof(RvcFrame, sa));
static_assert(wire::kFrameTimestamp == offsetof(RvcFrame, timestamp));
static_assert(wire::kFrameLength == offsetof(RvcFrame, length));
static_assert(wire::kFramePriority == offsetof(RvcFrame, priority));
static_assert(wire::kFrameReserved == offsetof(RvcFrame, reserved));
static_assert(sizeof(RvcFrame::dgn) == 4 && sizeof(RvcFrame::timestamp) == 4 &&
              sizeof(RvcFrame::length) == 2);

}  // namespace
}  // namespace corvane
