#include <gtest/gtest.h>

#include <string>

#include "core/DeviceReport.h"
#include "core/Dgn.h"
#include "tests/support/FakeClock.h"

namespace corvane {
namespace {

TEST(DeviceReport, NodesThenDevicesWithReversedLineEnds) {
    test::FakeClock clock;
    DeviceTable table(clock);
    EXPECT_EQ(ReportDeviceList(table, clock.epochSeconds()), "Nodes\n\rDevices\n\r");

    const std::string text = "Acme*X1*123*7*";
    table.update(
        *makeMessage(dgn::kProductId, 0x42,
                     std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
    const uint8_t status[8] = {0x05, 66, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    table.update(*makeMessage(dgn::kDmRv, 0x42, status));
    clock.advanceSeconds(5);
    EXPECT_EQ(ReportDeviceList(table, clock.epochSeconds()),
              "Nodes\n\r"
              "  42 [ 66]  5 sec Acme X1 123 7 \n\r"
              "Devices\n\r"
              "  SA: 42 [ 66]  DSA: 42 [ 66]   5 sec  ID:1 Inverter\n\r");
}

}  // namespace
}  // namespace corvane
