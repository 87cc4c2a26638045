#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"
#include "decode/MessageFormat.h"
#include "sim/SimulatedVehicle.h"

// The simulated vehicle's traffic as the decoder reads it: the values the demo shows move the
// way a parked coach's do, and the lights follow the commands the tool sends.
namespace corvane::decode {
namespace {

using Json = nlohmann::ordered_json;

// The latest decoded fields of each message and instance the vehicle sent until `ms`.
std::map<std::string, Json> latest(sim::SimulatedVehicle& vehicle, int64_t ms) {
    std::map<std::string, Json> seen;
    DecodedMessage m;
    vehicle.advanceTo(ms, [&](const RvcFrame& f) {
        if (!decodeMessage(builtinCatalogue(), f.dgn, f.sa, {f.data, heldBytes(f)}, m)) return;
        seen[m.spec->name + "/" + std::to_string(m.instance)] = toJson(m, 0)["fields"];
    });
    return seen;
}

RvcFrame dimmerCommand(uint8_t instance, uint8_t level, uint8_t command) {
    const uint8_t data[8] = {instance, 0xFF, level, command, 0xFF, 0x00, 0xFF, 0xFF};
    return makeFrame(CanIdentifier{6, 0x1FEDB, 0xF9, 0}, 0, 8, data);
}

RvcFrame loadCommand(uint8_t instance, uint8_t level, uint8_t command) {
    const uint8_t data[8] = {instance, 0xFF, level, 0xF3, command, 0xFF, 0xFF, 0xFF};
    return makeFrame(CanIdentifier{6, 0x1FFBC, 0xF9, 0}, 0, 8, data);
}

TEST(SimulatedTraffic, TheBatteryDrainsAndWaterMovesToTheGreyTank) {
    sim::SimulatedVehicle vehicle;
    auto start = latest(vehicle, 2'000);
    auto later = latest(vehicle, 20 * 60'000);
    const Json& dc0 = start["DC_SOURCE_STATUS_1/1"];
    const Json& dc1 = later["DC_SOURCE_STATUS_1/1"];
    ASSERT_TRUE(dc0["dc_voltage"].is_number() && dc1["dc_voltage"].is_number());
    EXPECT_GE(dc0["dc_voltage"].get<double>(), 13.3);
    EXPECT_LE(dc1["dc_voltage"].get<double>(), 13.0);
    EXPECT_LT(dc1["dc_current"].get<double>(), -7.9);  // discharging
    EXPECT_GT(start["DC_SOURCE_STATUS_2/1"]["state_of_charge"].get<double>(),
              later["DC_SOURCE_STATUS_2/1"]["state_of_charge"].get<double>());
    EXPECT_GT(start["TANK_STATUS/0"]["relative_level"].get<int>(),
              later["TANK_STATUS/0"]["relative_level"].get<int>() + 20);
    EXPECT_LT(start["TANK_STATUS/2"]["relative_level"].get<int>(),
              later["TANK_STATUS/2"]["relative_level"].get<int>() - 20);
    // The cabin cools to the set point; the inverter passes 120 V through.
    EXPECT_GT(start["THERMOSTAT_AMBIENT_STATUS/1"]["ambient_temperature"].get<double>(), 25.0);
    EXPECT_LT(later["THERMOSTAT_AMBIENT_STATUS/1"]["ambient_temperature"].get<double>(), 22.5);
    EXPECT_EQ(later["INVERTER_AC_STATUS_1/1"]["rms_voltage"], 120.0);
    EXPECT_EQ(later["INVERTER_AC_STATUS_1/1"]["frequency"], 60.0);
    EXPECT_EQ(later["WATERHEATER_STATUS/1"]["burner"], "on");
}

TEST(SimulatedTraffic, DimmersFollowCommands) {
    sim::SimulatedVehicle vehicle;
    auto seen = latest(vehicle, 1'000);
    EXPECT_EQ(seen["DC_DIMMER_STATUS_3/1"]["brightness"], 0.0);
    EXPECT_EQ(seen["DC_DIMMER_STATUS_3/1"]["load"], "off");

    vehicle.receive(dimmerCommand(1, 60, 0));  // set 30 %
    seen = latest(vehicle, 1'010);             // reported at once, before the next tick
    EXPECT_EQ(seen["DC_DIMMER_STATUS_3/1"]["brightness"], 30.0);
    EXPECT_EQ(seen["DC_DIMMER_STATUS_3/1"]["last_command"], "set level");
    EXPECT_EQ(seen["DC_DIMMER_STATUS_3/1"]["load"], "on or flashing");
    EXPECT_EQ(seen.count("DC_DIMMER_STATUS_3/2"), 0u);  // only the light commanded

    vehicle.receive(dimmerCommand(1, 0xFF, 5));  // toggle: off
    EXPECT_EQ(latest(vehicle, 1'020)["DC_DIMMER_STATUS_3/1"]["brightness"], 0.0);
    vehicle.receive(dimmerCommand(1, 0xFF, 5));  // toggle: back to 30 %
    seen = latest(vehicle, 3'000);
    EXPECT_EQ(seen["DC_DIMMER_STATUS_3/1"]["brightness"], 30.0);
    EXPECT_EQ(seen["DC_DIMMER_STATUS_3/2"]["brightness"], 0.0);  // the other stayed off

    vehicle.receive(dimmerCommand(9, 60, 0));  // no such light: nothing reported
    EXPECT_EQ(latest(vehicle, 3'010).size(), 0u);
}

TEST(SimulatedTraffic, LoadsFollowCommands) {
    sim::SimulatedVehicle vehicle;
    auto seen = latest(vehicle, 1'000);
    EXPECT_EQ(seen["DC_LOAD_STATUS/1"]["level"], 0.0);

    vehicle.receive(loadCommand(1, 200, 0));  // set 100 %: on
    seen = latest(vehicle, 1'010);            // reported at once
    EXPECT_EQ(seen["DC_LOAD_STATUS/1"]["level"], 100.0);
    EXPECT_EQ(seen.count("DC_LOAD_STATUS/2"), 0u);

    vehicle.receive(loadCommand(1, 0xFF, 5));  // toggle: off
    EXPECT_EQ(latest(vehicle, 1'020)["DC_LOAD_STATUS/1"]["level"], 0.0);
    vehicle.receive(loadCommand(1, 0xFF, 1));  // on
    seen = latest(vehicle, 3'000);
    EXPECT_EQ(seen["DC_LOAD_STATUS/1"]["level"], 100.0);
    EXPECT_EQ(seen["DC_LOAD_STATUS/2"]["level"], 0.0);  // the other stayed off

    vehicle.receive(loadCommand(9, 200, 0));  // no such load: nothing reported
    EXPECT_EQ(latest(vehicle, 3'010).size(), 0u);
}

}  // namespace
}  // namespace corvane::decode
