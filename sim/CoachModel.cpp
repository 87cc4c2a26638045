#include "sim/CoachModel.h"

#include <algorithm>
#include <cmath>

namespace corvane::sim {

double CoachModel::batteryVolts(int64_t ms, uint32_t noise) {
    const int64_t steps = ms / 300'000;  // a tenth of a volt every five minutes, in steps
    const double drained = 0.1 * static_cast<double>(steps);
    return std::max(12.0, 13.4 - drained) - 0.05 * (noise % 3);
}

double CoachModel::batteryAmps(uint32_t noise) { return -8.0 - 0.001 * (noise % 400); }

double CoachModel::stateOfChargePercent(int64_t ms) {
    const int64_t minutes = ms / 60'000;  // a whole per cent a minute
    return std::max(20.0, 95.0 - static_cast<double>(minutes));
}

int CoachModel::freshWaterPercent(int64_t ms) {
    return static_cast<int>(std::max<int64_t>(5, 62 - ms / 30'000));
}

int CoachModel::greyWaterPercent(int64_t ms) {
    return static_cast<int>(std::min<int64_t>(95, 40 + ms / 30'000));
}

double CoachModel::cabinCelsius(int64_t ms, uint32_t noise) {
    const int64_t steps = ms / 10'000;  // a tenth of a degree every ten seconds
    const double cabin = std::max(22.0, 26.0 - 0.1 * static_cast<double>(steps));
    return cabin + 0.1 * (static_cast<double>(noise % 3) - 1.0);
}

uint16_t encodeVolts(double volts) { return static_cast<uint16_t>(std::lround(volts / 0.05)); }

uint32_t encodeAmps32(double amps) {
    return static_cast<uint32_t>(std::llround((amps + 2'000'000.0) / 0.001));
}

uint16_t encodeCelsius16(double celsius) {
    return static_cast<uint16_t>(std::lround((celsius + 273.0) / 0.03125));
}

uint16_t encodeAmps16(double amps) {
    return static_cast<uint16_t>(std::lround((amps + 1600.0) / 0.05));
}

}  // namespace corvane::sim
