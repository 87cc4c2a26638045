#include "platform/CanErrorFrame.h"

#include <linux/can/error.h>

namespace corvane {

CanErrorFrame decodeCanErrorFrame(uint32_t id, std::span<const uint8_t> data) {
    const auto byte = [&](size_t i) -> uint8_t { return i < data.size() ? data[i] : 0; };
    CanErrorFrame e;
    e.busOff = (id & CAN_ERR_BUSOFF) != 0;
    e.protocolViolation = (id & CAN_ERR_PROT) != 0;
    e.noAcknowledge = (id & CAN_ERR_ACK) != 0;
    if (id & CAN_ERR_CRTL) {
        const uint8_t controller = byte(1);
        e.receiveOverflow = (controller & CAN_ERR_CRTL_RX_OVERFLOW) != 0;
        e.errorPassive = (controller & (CAN_ERR_CRTL_RX_PASSIVE | CAN_ERR_CRTL_TX_PASSIVE)) != 0;
        e.errorWarning = (controller & (CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_WARNING)) != 0;
    }
    if ((id & CAN_ERR_CNT) && data.size() >= 8) {
        e.txErrors = byte(6);
        e.rxErrors = byte(7);
    }
    return e;
}

}  // namespace corvane
