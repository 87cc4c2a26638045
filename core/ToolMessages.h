#pragma once

#include <cstdint>
#include <string_view>

#include "core/RvcSendRequest.h"

namespace corvane {

// The messages the tool sends on its own account, all from 0xF9 at priority 6.
inline constexpr uint8_t kToolPriority = 6;
// The tool's PRODUCT_ID on the network (its own node entry in the device table differs).
inline constexpr std::string_view kToolProductIdText = "TINDREL*PROTOTYPE*0**";

RvcSendRequest toolAddressClaim();
RvcSendRequest toolDmRvStatus();
RvcSendRequest toolDm1Status();
// The 21-byte PRODUCT_ID, sent as a broadcast long message.
RvcSendRequest toolProductId();
// Asks one address for its PRODUCT_ID (the network scan).
RvcSendRequest productIdScanRequest(uint8_t target);
// Ask everyone for their diagnostic status.
RvcSendRequest periodicDmRvRequest();
RvcSendRequest periodicDm1Request();
// "Send Reboot Command" to one address.
RvcSendRequest resetCommand(uint8_t target);

}  // namespace corvane
