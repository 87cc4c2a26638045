#include "health/FaultHistory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane::health {
namespace {

constexpr int64_t kSecond = 1'000'000;

DmRvReport dmRv(uint8_t dsa, std::optional<TroubleCode> code) {
    DmRvReport r;
    r.dsa = dsa;
    r.redLamp = code ? LampState::On : LampState::Off;
    r.code = code;
    return r;
}

Dm1Report dm1(std::vector<TroubleCode> codes) {
    Dm1Report r;
    r.dsa = 0xFF;
    r.amberLamp = codes.empty() ? LampState::Off : LampState::On;
    r.codes = std::move(codes);
    return r;
}

// One step of a device's story and what the history says right after it.
struct Step {
    int64_t at;
    std::optional<TroubleCode> code;  // DM_RV from 0x42, DSA 66
    bool active;
    uint32_t reports, raised;
    int64_t firstSeen, lastSeen;
};

TEST(FaultHistory, NewRepeatedClearedAndBackAgain) {
    const TroubleCode lowBattery{168, 1, 3};
    const std::vector<Step> steps = {
        {10 * kSecond, lowBattery, true, 1, 1, 10 * kSecond, 10 * kSecond},     // new
        {11 * kSecond, lowBattery, true, 2, 1, 10 * kSecond, 11 * kSecond},     // repeated
        {12 * kSecond, std::nullopt, false, 2, 1, 10 * kSecond, 11 * kSecond},  // cleared
        {20 * kSecond, lowBattery, true, 3, 2, 10 * kSecond, 20 * kSecond},     // back again
    };
    FaultHistory history;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.at);
        history.onDmRv(0x42, dmRv(66, s.code), s.at);
        ASSERT_EQ(history.records().size(), 1u);
        const auto r = history.records()[0];
        EXPECT_EQ(r.active, s.active);
        EXPECT_EQ(r.reports, s.reports);
        EXPECT_EQ(r.raised, s.raised);
        EXPECT_EQ(r.firstSeen, s.firstSeen);
        EXPECT_EQ(r.lastSeen, s.lastSeen);
    }
    EXPECT_EQ(history.records()[0].redLamp, LampState::On);
}

TEST(FaultHistory, RotatingFaultsStayUntilSilentForTheStaleTime) {
    FaultHistory history;
    history.onDmRv(0x42, dmRv(66, TroubleCode{168, 1, 1}), 0);
    history.onDmRv(0x42, dmRv(66, TroubleCode{110, 0, 1}), kSecond);
    history.onDmRv(0x58, dmRv(88, std::nullopt), kSecond);  // another device: no effect
    EXPECT_EQ(history.activeCount(), 2u);

    history.expire(FaultHistory::kStaleMicros);  // exactly the limit: still active
    EXPECT_EQ(history.activeCount(), 2u);
    history.expire(FaultHistory::kStaleMicros + 1);
    ASSERT_EQ(history.activeCount(), 1u);
    EXPECT_FALSE(history.records()[0].active);
    EXPECT_EQ(history.records()[0].clearedAt, FaultHistory::kStaleMicros + 1);
}

TEST(FaultHistory, Dm1ListClearsTheCodesItLeavesOut) {
    FaultHistory history;
    history.onDm1(0x48, dm1({{110, 3, 1}, {96, 5, 2}}), 0);
    EXPECT_EQ(history.activeCount(), 2u);
    history.onDm1(0x48, dm1({{96, 5, 2}}), kSecond);
    EXPECT_FALSE(history.records()[0].active);
    EXPECT_TRUE(history.records()[1].active);
    EXPECT_TRUE(history.records()[1].legacy);
    EXPECT_EQ(history.records()[1].yellowLamp, LampState::On);
    // The same SPN with another failure mode is a fault of its own.
    history.onDm1(0x48, dm1({{96, 6, 1}}), 2 * kSecond);
    ASSERT_EQ(history.records().size(), 3u);
    EXPECT_FALSE(history.records()[1].active);
    history.onDm1(0x48, dm1({}), 3 * kSecond);
    EXPECT_EQ(history.activeCount(), 0u);
}

// One node, two DM_RV banks: each bank's faults are its own, and so is its "no fault".
TEST(FaultHistory, BanksKeepTheirOwnFaults) {
    FaultHistory history;
    DmRvReport bank1 = dmRv(66, TroubleCode{168, 1, 1});
    bank1.bankSelect = 1;
    DmRvReport bank2 = dmRv(66, TroubleCode{168, 1, 1});
    bank2.bankSelect = 2;
    history.onDmRv(0x42, bank1, 0);
    history.onDmRv(0x42, bank2, 0);
    ASSERT_EQ(history.records().size(), 2u);
    bank1.code.reset();
    history.onDmRv(0x42, bank1, kSecond);
    const auto records = history.records();
    EXPECT_EQ(records[0].bank, 1);
    EXPECT_FALSE(records[0].active);
    EXPECT_EQ(records[1].bank, 2);
    EXPECT_TRUE(records[1].active);
    EXPECT_EQ(history.devices().size(), 2u);
}

TEST(FaultHistory, Dm1KeepsAllFourLampsAndItsStatusLayout) {
    FaultHistory history;
    Dm1Report r = dm1({{110, 0, 1}});
    r.protectLamp = LampState::On;
    r.malfunctionLamp = LampState::On;
    r.amberLamp = LampState::Off;
    r.redLamp = LampState::Off;
    history.onDm1(0x00, r, 0);
    const auto record = history.records().at(0);
    EXPECT_EQ(record.protectLamp, LampState::On);
    EXPECT_EQ(record.malfunctionLamp, LampState::On);
    EXPECT_EQ(record.yellowLamp, LampState::Off);
    const auto device = history.devices().at(0);
    EXPECT_TRUE(device.legacy);
    EXPECT_EQ(device.status, 0x41);  // protect (bits 0-1) and malfunction (bits 6-7) on
}

// Long DM1s of 445 new codes each and DM_RVs from thousands of made-up devices: the history
// stays within its bounds, forgetting past faults first.
TEST(FaultHistory, AFloodStaysBounded) {
    FaultHistory history;
    history.onDm1(0x48, dm1({{96, 5, 1}}), 0);
    history.onDm1(0x48, dm1({}), 1);  // SPN 96 is past now
    history.onDm1(0x48, dm1({{3509, 5, 1}}), 2);
    uint32_t spn = 1000;
    for (int message = 0; message < 40; ++message) {
        std::vector<TroubleCode> codes = {{3509, 5, 1}};
        for (int i = 0; i < 445; ++i) codes.push_back({spn++, 3, 1});
        history.onDm1(0x48, dm1(std::move(codes)), 3 + message);
    }
    auto records = history.records();
    EXPECT_EQ(records.size(), FaultHistory::kFaultsPerDevice);
    EXPECT_EQ(history.forgotten(), 40u * 445 + 2 - FaultHistory::kFaultsPerDevice);
    const auto has = [&](uint32_t s) {
        return std::any_of(records.begin(), records.end(),
                           [&](const auto& r) { return r.code.spn == s; });
    };
    EXPECT_FALSE(has(96));   // the past fault went first
    EXPECT_TRUE(has(3509));  // in every message: never the one reported longest or least often

    for (int i = 0; i < 4000; ++i) {
        DmRvReport r = dmRv(static_cast<uint8_t>(i), TroubleCode{168, 1, 1});
        r.bankSelect = static_cast<uint8_t>(i >> 8);
        history.onDmRv(0x42, r, 100 + i);
    }
    EXPECT_EQ(history.devices().size(), FaultHistory::kDevices);
    EXPECT_LE(history.records().size(), FaultHistory::kDevices + FaultHistory::kFaultsPerDevice);

    // Full lists from many addresses: the total bound holds, the newest faults stay.
    const uint64_t before = history.forgotten() + history.records().size();
    for (int sa = 0; sa < 40; ++sa) {
        std::vector<TroubleCode> codes;
        for (size_t i = 0; i < FaultHistory::kFaultsPerDevice; ++i) codes.push_back({spn++, 3, 1});
        history.onDm1(static_cast<uint8_t>(sa), dm1(std::move(codes)), 5000 + sa);
    }
    records = history.records();
    EXPECT_EQ(records.size(), FaultHistory::kFaults);
    EXPECT_EQ(history.forgotten() + records.size(), before + 40 * FaultHistory::kFaultsPerDevice);
    EXPECT_TRUE(has(spn - 1));
}

}  // namespace
}  // namespace corvane::health
