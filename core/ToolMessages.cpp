#include "core/ToolMessages.h"

#include <array>
#include <span>

#include "core/Dgn.h"

namespace corvane {

namespace {

RvcSendRequest toolMessage(uint32_t dgn, std::span<const uint8_t> data) {
    // Every caller passes at most 1785 bytes, so the request always exists.
    return *makeSendRequest(dgn, kToolPriority, data);
}

RvcSendRequest eightBytes(uint32_t dgn, const std::array<uint8_t, 8>& data) {
    return toolMessage(dgn, data);
}

}  // namespace

RvcSendRequest toolAddressClaim() {
    return eightBytes(dgn::kAddressClaim, {0x00, 0x00, 0x00, 0x0E, 0x00, 0xF9, 0x00, 0x00});
}

RvcSendRequest toolDmRvStatus() {
    return eightBytes(dgn::kDmRv, {0xF5, 0xF9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

RvcSendRequest toolDm1Status() {
    return eightBytes(dgn::kDm1, {0xF5, 0xF9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

RvcSendRequest toolProductId() {
    const auto* bytes = reinterpret_cast<const uint8_t*>(kToolProductIdText.data());
    return toolMessage(dgn::kProductId, std::span(bytes, kToolProductIdText.size()));
}

RvcSendRequest productIdScanRequest(uint8_t target) {
    return eightBytes(dgn::kRequest + target, {0xEB, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

RvcSendRequest periodicDmRvRequest() {
    return eightBytes(dgn::kRequest + kGlobalAddress,
                      {0xCA, 0xFE, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

RvcSendRequest periodicDm1Request() {
    return eightBytes(dgn::kRequest + kGlobalAddress,
                      {0xCA, 0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

RvcSendRequest resetCommand(uint8_t target) {
    return eightBytes(dgn::kReset + target, {0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

}  // namespace corvane
