#pragma once

#include <cstdint>

namespace corvane {

// Readers for the status byte of DM_RV and DM1: four 2-bit fields, each 00 off, 01 on,
// 10 error, 11 not available.
constexpr uint8_t operatingStatus(uint8_t status) { return status & 3; }
constexpr uint8_t activityStatus(uint8_t status) { return (status >> 2) & 3; }
constexpr uint8_t yellowLampStatus(uint8_t status) { return (status >> 4) & 3; }
constexpr uint8_t redLampStatus(uint8_t status) { return (status >> 6) & 3; }

constexpr bool isOn(uint8_t status) { return operatingStatus(status) == 1; }
constexpr bool isActive(uint8_t status) { return activityStatus(status) == 1; }
constexpr bool redLampOn(uint8_t status) { return redLampStatus(status) == 1; }
// Yellow shows only when the red lamp is not on.
constexpr bool yellowLampOn(uint8_t status) {
    return yellowLampStatus(status) == 1 && !redLampOn(status);
}

constexpr const char* onOffText(uint8_t status) { return isOn(status) ? "On" : "Off"; }
constexpr const char* activityText(uint8_t status) {
    return isActive(status) ? "Active" : "Inactive";
}

// The tool's own status: on, active, both lamps not available.
inline constexpr uint8_t kToolStatus = 0xF5;

}  // namespace corvane
