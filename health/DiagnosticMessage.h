#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvane::health {

// A two-bit status field as the diagnostic messages use it.
enum class LampState : uint8_t { Off = 0, On = 1, Error = 2, NotAvailable = 3 };

inline constexpr uint32_t kSpnNotAvailable = 0x7FFFF;
inline constexpr uint8_t kOccurrenceNotAvailable = 127;

// One trouble code: what (SPN), how it fails (FMI), and how often the device counted it.
struct TroubleCode {
    uint32_t spn = kSpnNotAvailable;                // 19 bits
    uint8_t fmi = 31;                               // 5 bits
    uint8_t occurrences = kOccurrenceNotAvailable;  // 7 bits; 127 = not available
    // A DM1 code whose conversion-method bit is set: the device lays the SPN out in one of
    // the older ways, which the message does not say, so `spn` is its bits read in the
    // current layout and may not be the number the device means.
    bool olderSpnLayout = false;
};

// A DM_RV: one device's status and at most one trouble code.
struct DmRvReport {
    LampState operatingStatus = LampState::NotAvailable;
    LampState activity = LampState::NotAvailable;
    LampState yellowLamp = LampState::NotAvailable;
    LampState redLamp = LampState::NotAvailable;
    uint8_t dsa = 0xFF;
    uint8_t dsaExtension = 0xFF;
    uint8_t bankSelect = 0x0F;
    std::optional<TroubleCode> code;  // empty when the device reports no fault
};

// A DM1: the lamps of a J1939 node and every trouble code it has active.
struct Dm1Report {
    LampState protectLamp = LampState::NotAvailable;
    LampState amberLamp = LampState::NotAvailable;
    LampState redLamp = LampState::NotAvailable;
    LampState malfunctionLamp = LampState::NotAvailable;
    uint8_t dsa = 0xFF;              // byte 1, which this tool also reads as the reporting function
    std::vector<TroubleCode> codes;  // empty when no code is active
};

// DM_RV bytes -> report. Needs at least 2 bytes (status and DSA); bytes a short frame does not
// hold read as not available. The SPN is sent most significant byte first, the middle byte,
// then its three low bits in the top of the FMI byte.
//   15 42 00 15 01 03 FF FF -> on, active, yellow lamp on, DSA 66, SPN 168, FMI 1, 3 times
//   05 42 FF FF FF FF FF FF -> on, active, lamps off, no fault
//   05                      -> nothing (too short)
std::optional<DmRvReport> decodeDmRv(std::span<const uint8_t> data);

// DM1 bytes -> report. Needs at least 2 bytes. A single frame holds one code in bytes 2-5, a
// long message one code per 4 bytes after the lamps. Codes are sent least significant byte
// first, the top three SPN bits in the top of the FMI byte; the count byte's top bit is the
// conversion method (1: an older SPN layout). A code of all zeros or all ones, and a trailing
// part shorter than 4 bytes, is not a fault.
//   04 FF 6E 00 03 05 FF FF -> amber lamp on, SPN 110, FMI 3, 5 times
//   04 FF 6E 00 03 85 FF FF -> the same bits, sent in an older SPN layout
//   00 FF 00 00 00 00 FF FF -> no active code
std::optional<Dm1Report> decodeDm1(std::span<const uint8_t> data);

// Bits 2i..2i+1 of a status byte.
constexpr LampState lampField(uint8_t status, int field) {
    return static_cast<LampState>((status >> (2 * field)) & 3);
}

}  // namespace corvane::health
