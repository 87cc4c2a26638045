#include <gtest/gtest.h>

#include <vector>

#include "platform/CanErrorFrame.h"

namespace corvane {
namespace {

// Error frames laid out as the kernel's CAN error header describes them: the class bits in the
// identifier, controller details in byte 1, the error counters in bytes 6 and 7.
TEST(CanErrorFrame, ClassesDetailsAndCounters) {
    const std::vector<uint8_t> none(8, 0);
    const std::vector<uint8_t> overflowPassive{0, 0x11, 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> warning{0, 0x08, 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> counters{0, 0, 0x04, 0, 0, 0, 5, 96};

    const CanErrorFrame busOff = decodeCanErrorFrame(0x40, none);
    EXPECT_TRUE(busOff.busOff);
    EXPECT_FALSE(busOff.errorPassive || busOff.receiveOverflow || busOff.txErrors.has_value());

    const CanErrorFrame controller = decodeCanErrorFrame(0x04, overflowPassive);
    EXPECT_TRUE(controller.receiveOverflow);
    EXPECT_TRUE(controller.errorPassive);
    EXPECT_FALSE(controller.errorWarning || controller.busOff);
    EXPECT_TRUE(decodeCanErrorFrame(0x04, warning).errorWarning);
    // Controller bytes mean nothing without the controller class.
    EXPECT_FALSE(decodeCanErrorFrame(0x08, overflowPassive).receiveOverflow);

    const CanErrorFrame stuffing = decodeCanErrorFrame(0x208, counters);
    EXPECT_TRUE(stuffing.protocolViolation);
    EXPECT_EQ(stuffing.txErrors, 5);
    EXPECT_EQ(stuffing.rxErrors, 96);
    EXPECT_FALSE(decodeCanErrorFrame(0x008, counters).rxErrors.has_value());
    EXPECT_FALSE(decodeCanErrorFrame(0x200, std::vector<uint8_t>{0, 0}).txErrors.has_value());
    EXPECT_TRUE(decodeCanErrorFrame(0x20, none).noAcknowledge);
}

}  // namespace
}  // namespace corvane
