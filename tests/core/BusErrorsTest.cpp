#include <gtest/gtest.h>

#include "core/BusErrors.h"

namespace corvane {
namespace {

TEST(BusErrors, CountsForTheWholeRunAndKeepsTheLastCounters) {
    BusErrors errors;
    EXPECT_EQ(errors.text(), "");
    CanErrorFrame first;
    first.errorPassive = true;
    first.txErrors = 0;
    first.rxErrors = 130;
    errors.note(first);
    EXPECT_EQ(errors.text(),
              "Bus errors: 1 error frame, error passive 1 time; error counters TX 0, RX 130");
    CanErrorFrame off;
    off.busOff = true;
    off.receiveOverflow = true;
    errors.note(off);
    errors.note(off);
    EXPECT_EQ(errors.text(),
              "Bus errors: 3 error frames, bus off 2 times, error passive 1 time, 2 controller "
              "overflows; error counters TX 0, RX 130");
}

}  // namespace
}  // namespace corvane
