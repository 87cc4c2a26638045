#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/Dgn.h"
#include "sim/SimulatedVehicle.h"

namespace corvane::sim {
namespace {

std::vector<RvcFrame> run(SimulatedVehicle& vehicle, int64_t until) {
    std::vector<RvcFrame> frames;
    vehicle.advanceTo(until, [&](const RvcFrame& f) { frames.push_back(f); });
    return frames;
}

RvcFrame request(uint8_t destination, uint32_t requested) {
    const uint8_t data[8] = {static_cast<uint8_t>(requested),
                             static_cast<uint8_t>(requested >> 8),
                             static_cast<uint8_t>(requested >> 16),
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF};
    return makeFrame(CanIdentifier{6, dgn::kRequest | destination, kToolAddress, 0}, 0, 8, data);
}

TEST(SimulatedVehicle, SameSeedSameFrames) {
    SimulatedVehicle a(7), b(7), c(8);
    auto fa = run(a, 3000), fb = run(b, 3000), fc = run(c, 3000);
    ASSERT_EQ(fa.size(), fb.size());
    ASSERT_FALSE(fa.empty());
    bool differs = false;
    for (size_t i = 0; i < fa.size(); ++i) {
        EXPECT_EQ(std::memcmp(&fa[i], &fb[i], sizeof(RvcFrame)), 0) << i;
        if (i < fc.size() && std::memcmp(&fa[i], &fc[i], sizeof(RvcFrame)) != 0) differs = true;
    }
    EXPECT_TRUE(differs);  // the seed moves the measured values
    for (size_t i = 1; i < fa.size(); ++i) EXPECT_LE(+fa[i - 1].timestamp, +fa[i].timestamp);
}

TEST(SimulatedVehicle, EveryNodeReportsItsStatusOnceASecond) {
    SimulatedVehicle vehicle;
    auto frames = run(vehicle, 9999);
    std::map<uint8_t, int> statusCount;
    for (const auto& f : frames) {
        if (f.dgn == dgn::kDmRv || f.dgn == dgn::kDm1) {
            ++statusCount[f.sa];
            EXPECT_EQ(+f.length, 8);
        }
    }
    ASSERT_EQ(statusCount.size(), standardNodes().size());
    for (const auto& [sa, count] : statusCount) EXPECT_EQ(count, 10) << int(sa);
    // The tank system reports with DM1.
    bool tankDm1 = false;
    for (const auto& f : frames) tankDm1 |= f.sa == 0x48 && f.dgn == dgn::kDm1 && f.data[1] == 72;
    EXPECT_TRUE(tankDm1);
}

TEST(SimulatedVehicle, AnswersProductIdWithABroadcastTransfer) {
    SimulatedVehicle vehicle;
    run(vehicle, 100);
    vehicle.receive(request(0x65, dgn::kProductId));
    auto frames = run(vehicle, 200);
    std::vector<RvcFrame> transfer;
    for (const auto& f : frames) {
        if (f.sa == 0x65 && isTransportFrame(f.dgn)) transfer.push_back(f);
    }
    const std::string text = "ACME*Heater 5*SN123*7*";  // 22 bytes, 4 packets
    ASSERT_EQ(transfer.size(), 5u);
    EXPECT_EQ(+transfer[0].dgn, 0xECFFu);
    EXPECT_EQ(transfer[0].data[0], 0x20);
    EXPECT_EQ(transfer[0].data[1], text.size());
    EXPECT_EQ(transfer[0].data[2], 0);
    EXPECT_EQ(transfer[0].data[3], 4);
    EXPECT_EQ(transfer[0].data[5], 0xEB);
    EXPECT_EQ(transfer[0].data[6], 0xFE);
    EXPECT_EQ(transfer[0].data[7], 0x00);
    std::string received;
    for (size_t p = 1; p < transfer.size(); ++p) {
        EXPECT_EQ(+transfer[p].dgn, 0xEBFFu);
        EXPECT_EQ(transfer[p].data[0], p);
        for (int i = 1; i < 8; ++i) received += static_cast<char>(transfer[p].data[i]);
    }
    EXPECT_EQ(received.substr(0, text.size()), text);
    EXPECT_EQ(static_cast<uint8_t>(received[text.size()]), 0xFF);  // padding
}

TEST(SimulatedVehicle, AnswersOnlyWhatIsAddressedToIt) {
    SimulatedVehicle vehicle;
    run(vehicle, 100);
    vehicle.receive(request(0x42, dgn::kDmRv));
    vehicle.receive(request(0x8E, dgn::kProductId));  // the roof fan never identifies itself
    vehicle.receive(request(0x30, dgn::kProductId));  // nobody there
    auto frames = run(vehicle, 150);
    int dmRvFrom42 = 0;
    int transport = 0;
    for (const auto& f : frames) {
        if (f.dgn == dgn::kDmRv && f.sa == 0x42) ++dmRvFrom42;
        if (isTransportFrame(f.dgn)) ++transport;
    }
    EXPECT_EQ(dmRvFrom42, 1);
    EXPECT_EQ(transport, 0);

    vehicle.receive(request(kGlobalAddress, dgn::kProductId));
    frames = run(vehicle, 400);
    std::map<uint8_t, int> announces;
    for (const auto& f : frames) {
        if (dgnFamily(f.dgn) == dgn::kTransportControl) ++announces[f.sa];
    }
    EXPECT_EQ(announces.size(), 4u);  // every node but the roof fan
}

}  // namespace
}  // namespace corvane::sim
