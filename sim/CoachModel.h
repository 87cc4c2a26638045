#pragma once

#include <cstdint>

namespace corvane::sim {

// How the simulated coach's measured values move with virtual time (milliseconds since the
// vehicle started), so that the demo shows decoded values changing the way a parked coach's do:
// the house battery drains under a steady load, fresh water is used and ends in the grey tank,
// the cabin cools toward the thermostat's set point. `noise` (0-65535) adds the jitter of a
// real sensor. All values stay within their sensors' ranges however long the demo runs.
struct CoachModel {
    // House battery: 13.4 V falling 0.1 V every 5 minutes to 12.0 V; 8.0-8.4 A drawn.
    static double batteryVolts(int64_t ms, uint32_t noise);
    static double batteryAmps(uint32_t noise);  // negative: discharging
    // 95 % falling 1 % a minute to 20 %.
    static double stateOfChargePercent(int64_t ms);
    // Fresh water 62 % falling 1 % every 30 s to 5 %; grey rising as much from 40 % up to 95 %.
    static int freshWaterPercent(int64_t ms);
    static int greyWaterPercent(int64_t ms);
    // Cabin 26 C drifting 0.1 C every 10 s down to the 22 C set point, with +-0.1 C jitter.
    static double cabinCelsius(int64_t ms, uint32_t noise);
};

// RV-C encodings of the values above.
// 13.4 V -> 268 (x 0.05 V);  -8.2 A -> 1,999,991,800 (x 0.001 A, offset -2,000,000 A)
uint16_t encodeVolts(double volts);
uint32_t encodeAmps32(double amps);
// 22 C -> 9440 (x 0.03125 C, offset -273 C);  120 V -> 2400;  8.5 A -> 32170 (x 0.05, -1600)
uint16_t encodeCelsius16(double celsius);
uint16_t encodeAmps16(double amps);

}  // namespace corvane::sim
