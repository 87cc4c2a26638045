#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/RVCDevice.h"
#include "core/RVCNode.h"
#include "health/HealthMonitor.h"

namespace corvane::health {

// What a technician hands to the customer: the coach's devices, their faults in words, the
// nodes that went quiet and how busy the bus was, over a span of time. Built from the device
// and node tables and a health snapshot; written out as HTML, JSON or text elsewhere. Every
// text in it is valid UTF-8 (see printableText), whatever the devices sent.
struct HealthReport {
    struct Device {
        uint8_t address = 0;
        int dsa = -1;  // -1: a node that identified itself but reports no diagnostic status
        std::string type;
        std::string make;
        std::string model;
        std::string serial;
        std::string status;     // "on, red lamp on", "amber lamp on" (DM1) ...
        int64_t lastHeard = 0;  // its last diagnostic message (a node's last frame); 0: unknown
        bool quiet = false;     // not heard for longer than the device list keeps it
        int bank = -1;          // a DM_RV's bank select, -1 when none
    };
    struct Fault {
        uint8_t address = 0;
        uint8_t dsa = 0;
        std::string device;  // "Inverter at 42"
        std::string lamps;   // "Red lamp on." / "Yellow lamp on." / ""
        std::string text;    // the trouble code in words
        uint32_t spn = 0;
        uint8_t fmi = 0;
        bool legacy = false;
        int64_t firstSeen = 0;
        int64_t lastSeen = 0;
        int64_t clearedAt = 0;  // 0 while active
        uint32_t seen = 0;      // messages that carried it
        uint32_t raised = 0;
        int bank = -1;     // a DM_RV's bank select, -1 when none
        int severity = 0;  // 3 red lamp, 2 yellow or amber, 1 protect or malfunction, 0 none
    };
    struct SilentNode {
        uint8_t address = 0;
        std::string device;
        int64_t lastSeen = 0;
        std::vector<uint32_t> dgns;  // its periodic DGNs that stopped
    };
    struct Conflict {
        uint8_t address = 0;
        std::vector<uint64_t> names;
    };

    int64_t start = 0;  // microseconds since 1970
    int64_t end = 0;
    uint64_t frames = 0;
    std::vector<Device> inventory;
    std::vector<Fault> activeFaults;
    std::vector<Fault> pastFaults;
    uint64_t faultsForgotten = 0;  // past faults given up to stay within the history's bounds
    std::vector<SilentNode> silentNodes;
    std::vector<Conflict> conflicts;
    uint32_t bitRate = 0;
    double loadAverage = 0;
    double loadPeak = 0;
    int64_t peakSecond = 0;  // start of the busiest second
};

// Which devices the inventory lists: those in the tables now (a live view that lets go of
// what went quiet), or every one heard over the span, the quiet ones marked.
enum class Inventory { HeardNow, EverHeard };

// Not heard for longer than the device list (15 s) and the node list (60 s) keep them.
inline constexpr int64_t kDeviceQuietMicros = 15'000'000;
inline constexpr int64_t kNodeQuietMicros = 60'000'000;

// The report from the tables and a snapshot taken at the end of the span. Devices are listed
// by address, DSA and bank; faults most recent first. A device's status is read by the layout
// of the message it came in: a DM_RV's operating status and lamps, a DM1's four lamps.
HealthReport makeHealthReport(const std::vector<RVCDevice>& devices,
                              const std::vector<RVCNode>& nodes,
                              const HealthMonitor::Snapshot& snapshot,
                              Inventory inventory = Inventory::HeardNow);

// A device's status byte in words.
//   DM_RV 0x45 -> "on, red lamp on";  DM_RV 0x00 -> "off"
//   DM1 0x04 -> "amber lamp on";  DM1 0x00 -> "no lamp on"
std::string statusText(uint8_t status, bool legacy);

// 1765000000123456 -> "2025-12-06 05:46:40 UTC"
std::string utcText(int64_t micros);

}  // namespace corvane::health
