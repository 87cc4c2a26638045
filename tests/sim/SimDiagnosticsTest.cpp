#include "sim/SimDiagnostics.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/Dgn.h"
#include "sim/SimulatedVehicle.h"

namespace corvane::sim {
namespace {

using Bytes = std::array<uint8_t, 8>;

TEST(SimDiagnostics, FaultBytesComeAndGoWithTheCycle) {
    SimNode heater;
    heater.sa = 0x65;
    heater.dsa = 101;
    heater.fault = {168, 4, 60000, 15000, 35000};
    SimNode tank;
    tank.sa = 0x48;
    tank.dsa = 72;
    tank.legacyDm1 = true;
    tank.fault = {3509, 5, 60000, 40000, 60000};
    struct Case {
        const SimNode* node;
        int64_t at;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {&heater, 14999, {0x05, 101, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {&heater, 15000, {0x15, 101, 0x00, 0x15, 0x04, 0x01, 0xFF, 0xFF}},
        {&heater, 35000, {0x05, 101, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {&heater, 75000, {0x15, 101, 0x00, 0x15, 0x04, 0x02, 0xFF, 0xFF}},
        {&tank, 59999, {0x05, 72, 0xB5, 0x0D, 0x05, 0x01, 0xFF, 0xFF}},
        {&tank, 60000, {0x05, 72, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        EXPECT_EQ(diagnosticData(*c.node, c.at), c.data);
    }
}

TEST(SimDiagnostics, TheStandardVehicleRaisesAndClearsAFault) {
    SimulatedVehicle vehicle;
    std::vector<int64_t> faultyAt;
    vehicle.advanceTo(60000, [&](const RvcFrame& f) {
        if (f.sa == 0x65 && f.dgn == dgn::kDmRv && f.data[2] != 0xFF)
            faultyAt.push_back(f.timestamp);
    });
    ASSERT_EQ(faultyAt.size(), 20u);  // once a second for 20 s
    EXPECT_GE(faultyAt.front(), 15000);
    EXPECT_LT(faultyAt.back(), 35000);
}

}  // namespace
}  // namespace corvane::sim
