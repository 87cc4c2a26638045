#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "health/DiagnosticMessage.h"

namespace corvane::health {

// Every device that reported a diagnostic status while the program runs, and every distinct
// fault each one reported. A device is a source address with a DSA and, for DM_RV, a bank
// select (a node may send one DM_RV per bank); a DM1 node is a device of its own. A fault is
// an SPN with an FMI.
//
// A fault is active from the first message that carries it until the device says it is gone:
// a DM_RV from the device (same bank) without a fault, or a DM1 whose list no longer holds it.
// Devices with several faults send them one DM_RV at a time in turn, so a DM_RV naming another
// fault clears nothing; a fault no message has carried for kStaleMicros is cleared by
// expire(). A cleared fault reported again is active again ("back again") and counted as
// raised once more.
//
// Bounded whatever the bus sends: at most kFaultsPerDevice faults per device and kFaults in
// all (past ones are forgotten first, the longest cleared first) and kDevices devices (the one
// heard longest ago gives way); forgotten() counts the faults given up. Lookups are keyed.
//
// Times are the caller's, in microseconds. Not thread-safe: the owner serialises calls.
class FaultHistory {
  public:
    // Half a minute: several rounds of a device's once-a-second or once-every-5-seconds
    // status, so a fault in a rotation of a few is never cleared between its turns.
    static constexpr int64_t kStaleMicros = 30'000'000;
    static constexpr size_t kFaultsPerDevice = 128;
    static constexpr size_t kDevices = 512;
    // A window lists them all once a second: a few thousand is more than any coach reports.
    static constexpr size_t kFaults = 4096;
    static constexpr uint8_t kNoBank = 0x0F;  // DM1, and a DM_RV without a bank select

    // A device as its last message showed it.
    struct Device {
        uint8_t sa = 0;
        uint8_t dsa = 0;
        uint8_t bank = kNoBank;
        bool legacy = false;  // DM1: byte 0 holds four lamps, not an operating status
        uint8_t status = 0;   // byte 0 of its last message
        int64_t firstSeen = 0;
        int64_t lastSeen = 0;
    };

    struct Record {
        uint8_t sa = 0;
        uint8_t dsa = 0;
        uint8_t bank = kNoBank;
        TroubleCode code;     // SPN and FMI identify it; the device's count is the last one sent
        bool legacy = false;  // reported by DM1
        bool active = false;
        int64_t firstSeen = 0;
        int64_t lastSeen = 0;
        int64_t clearedAt = 0;                           // when it last went from active to cleared
        uint32_t reports = 0;                            // messages that carried it
        uint32_t raised = 0;                             // times it became active
        LampState redLamp = LampState::NotAvailable;     // lamps of the last message with it
        LampState yellowLamp = LampState::NotAvailable;  // amber for DM1
        LampState protectLamp = LampState::NotAvailable;      // DM1 only
        LampState malfunctionLamp = LampState::NotAvailable;  // DM1 only
    };

    void onDmRv(uint8_t sa, const DmRvReport& report, int64_t micros);
    void onDm1(uint8_t sa, const Dm1Report& report, int64_t micros);
    // Clears the active faults last reported more than kStaleMicros before `micros`.
    void expire(int64_t micros);

    // In the order they were first seen.
    std::vector<Record> records() const;
    // By address, DSA, bank, DM_RV before DM1.
    std::vector<Device> devices() const;
    size_t activeCount() const;
    uint64_t forgotten() const { return forgotten_; }

  private:
    struct Fault {
        Record record;
        uint64_t order = 0;  // first-seen order across all devices
    };
    struct Entry {
        Device device;
        std::unordered_map<uint32_t, Fault> faults;  // by faultKey()
    };

    static uint32_t deviceKey(uint8_t sa, uint8_t dsa, uint8_t bank, bool legacy);
    static uint32_t faultKey(const TroubleCode& code);
    Entry& deviceFor(uint8_t sa, uint8_t dsa, uint8_t bank, bool legacy, uint8_t status,
                     int64_t micros);
    Record& see(Entry& device, const TroubleCode& code, int64_t micros);
    void makeRoomIn(Entry& device);
    void makeRoomOverall();
    static void clear(Record& r, int64_t micros);

    std::unordered_map<uint32_t, Entry> devices_;  // by deviceKey()
    uint64_t nextOrder_ = 0;
    uint64_t forgotten_ = 0;
    size_t faultCount_ = 0;  // over all devices
};

}  // namespace corvane::health
