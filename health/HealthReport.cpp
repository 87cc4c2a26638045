#include "health/HealthReport.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <tuple>
#include <utility>

#include "core/PrintableText.h"
#include "core/Vocabulary.h"
#include "health/FaultText.h"

namespace corvane::health {

namespace {

std::string hexByte(uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

std::string deviceName(uint8_t address, uint8_t dsa, uint8_t bank) {
    std::string name = DeviceTypeName(dsa) + " at " + hexByte(address);
    if (bank != FaultHistory::kNoBank) name += ", bank " + std::to_string(bank);
    return name;
}

const RVCNode* tableNode(uint8_t address, const std::vector<RVCNode>& nodes) {
    for (const RVCNode& n : nodes) {
        if (n.address == address) return &n;
    }
    return nullptr;
}

const HealthMonitor::NodeSummary* heardNode(uint8_t address,
                                            const HealthMonitor::Snapshot& snapshot) {
    for (const auto& n : snapshot.nodes) {
        if (n.address == address) return &n;
    }
    return nullptr;
}

// Address -> its node's name, or the device type of its first diagnostic status.
std::string nodeName(uint8_t address, const std::vector<RVCDevice>& devices,
                     const std::vector<RVCNode>& nodes) {
    for (const RVCDevice& d : devices) {
        if (d.sa == address) return deviceName(address, d.dsa, FaultHistory::kNoBank);
    }
    const RVCNode* n = tableNode(address, nodes);
    if (n && !n->model.empty()) return printableText(n->model) + " at " + hexByte(address);
    return "Address " + hexByte(address);
}

void addWord(std::string& text, std::string_view word) {
    if (!text.empty()) text += ", ";
    text += word;
}

std::string lampsText(const FaultHistory::Record& r) {
    std::string text;
    const auto lamp = [&](LampState state, std::string_view sentence) {
        if (state != LampState::On) return;
        if (!text.empty()) text += ' ';
        text += sentence;
    };
    lamp(r.redLamp, "Red lamp on.");
    lamp(r.yellowLamp, r.legacy ? "Amber lamp on." : "Yellow lamp on.");
    lamp(r.protectLamp, "Protect lamp on.");
    lamp(r.malfunctionLamp, "Malfunction lamp on.");
    return text;
}

int severityOf(const FaultHistory::Record& r) {
    if (r.redLamp == LampState::On) return 3;
    if (r.yellowLamp == LampState::On) return 2;
    return r.protectLamp == LampState::On || r.malfunctionLamp == LampState::On ? 1 : 0;
}

// The identity of an address: the node table's, else the last PRODUCT_ID heard from it.
void identify(HealthReport::Device& d, const std::vector<RVCNode>& nodes,
              const HealthMonitor::Snapshot& snapshot) {
    if (const RVCNode* n = tableNode(d.address, nodes)) {
        d.make = printableText(n->make);
        d.model = printableText(n->model);
        d.serial = printableText(n->serialNumber);
    } else if (const auto* heard = heardNode(d.address, snapshot)) {
        d.make = printableText(heard->make);
        d.model = printableText(heard->model);
        d.serial = printableText(heard->serial);
    }
}

void addInventory(HealthReport& report, const std::vector<RVCDevice>& devices,
                  const std::vector<RVCNode>& nodes, const HealthMonitor::Snapshot& snapshot,
                  Inventory inventory) {
    const auto inTable = [&](uint8_t sa, uint8_t dsa) {
        return std::any_of(devices.begin(), devices.end(),
                           [&](const RVCDevice& d) { return d.sa == sa && d.dsa == dsa; });
    };
    std::set<std::pair<uint8_t, uint8_t>> listed;
    for (const FaultHistory::Device& d : snapshot.devices) {
        if (inventory == Inventory::HeardNow && !inTable(d.sa, d.dsa)) continue;
        HealthReport::Device entry;
        entry.address = d.sa;
        entry.dsa = d.dsa;
        entry.type = DeviceTypeName(d.dsa);
        entry.status = statusText(d.status, d.legacy);
        entry.lastHeard = d.lastSeen;
        entry.quiet =
            inventory == Inventory::EverHeard && snapshot.micros - d.lastSeen > kDeviceQuietMicros;
        entry.bank = d.bank == FaultHistory::kNoBank ? -1 : d.bank;
        report.inventory.push_back(std::move(entry));
        listed.insert({d.sa, d.dsa});
    }
    // What the table holds and the monitor never heard (the tool's own entry).
    for (const RVCDevice& d : devices) {
        if (listed.contains({d.sa, d.dsa})) continue;
        HealthReport::Device entry;
        entry.address = d.sa;
        entry.dsa = d.dsa;
        entry.type = DeviceTypeName(d.dsa);
        entry.status = statusText(d.status, false);
        entry.lastHeard = d.updated * 1'000'000;
        report.inventory.push_back(std::move(entry));
        listed.insert({d.sa, d.dsa});
    }
    const auto hasDevice = [&](uint8_t address) {
        return std::any_of(report.inventory.begin(), report.inventory.end(),
                           [&](const auto& d) { return d.address == address; });
    };
    std::set<uint8_t> identified;
    for (const RVCNode& n : nodes) {
        if (n.address != 0xFF) identified.insert(n.address);
    }
    if (inventory == Inventory::EverHeard) {
        for (const auto& n : snapshot.nodes) {
            if (!n.make.empty() || !n.model.empty() || !n.serial.empty()) {
                identified.insert(n.address);
            }
        }
    }
    for (uint8_t address : identified) {
        if (hasDevice(address)) continue;
        HealthReport::Device entry;
        entry.address = address;
        entry.type = "No diagnostic status";
        if (const auto* heard = heardNode(address, snapshot)) {
            entry.lastHeard = heard->lastSeen;
            entry.quiet = inventory == Inventory::EverHeard &&
                          snapshot.micros - heard->lastSeen > kNodeQuietMicros;
        }
        report.inventory.push_back(std::move(entry));
    }
    for (auto& d : report.inventory) identify(d, nodes, snapshot);
    std::sort(report.inventory.begin(), report.inventory.end(), [](const auto& a, const auto& b) {
        return std::tie(a.address, a.dsa, a.bank) < std::tie(b.address, b.dsa, b.bank);
    });
}

}  // namespace

std::string statusText(uint8_t status, bool legacy) {
    std::string text;
    if (legacy) {
        if (lampField(status, 2) == LampState::On) addWord(text, "red lamp on");
        if (lampField(status, 1) == LampState::On) addWord(text, "amber lamp on");
        if (lampField(status, 0) == LampState::On) addWord(text, "protect lamp on");
        if (lampField(status, 3) == LampState::On) addWord(text, "malfunction lamp on");
        return text.empty() ? "no lamp on" : text;
    }
    const DmRvReport r = *decodeDmRv(std::vector<uint8_t>{status, 0});
    if (r.operatingStatus == LampState::On) addWord(text, "on");
    if (r.operatingStatus == LampState::Off) addWord(text, "off");
    if (r.redLamp == LampState::On) addWord(text, "red lamp on");
    if (r.yellowLamp == LampState::On) addWord(text, "yellow lamp on");
    return text;
}

std::string utcText(int64_t micros) {
    const std::time_t seconds = static_cast<std::time_t>(micros / 1'000'000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

HealthReport makeHealthReport(const std::vector<RVCDevice>& devices,
                              const std::vector<RVCNode>& nodes,
                              const HealthMonitor::Snapshot& snapshot, Inventory inventory) {
    HealthReport report;
    report.start = snapshot.firstMicros;
    report.end = snapshot.lastMicros;
    report.frames = snapshot.frames;
    addInventory(report, devices, nodes, snapshot, inventory);

    for (const FaultHistory::Record& r : snapshot.faults) {
        HealthReport::Fault f;
        f.address = r.sa;
        f.dsa = r.dsa;
        f.device = deviceName(r.sa, r.dsa, r.bank);
        f.lamps = lampsText(r);
        f.text = describeCode(r.code);
        f.spn = r.code.spn;
        f.fmi = r.code.fmi;
        f.legacy = r.legacy;
        f.firstSeen = r.firstSeen;
        f.lastSeen = r.lastSeen;
        f.clearedAt = r.active ? 0 : r.clearedAt;
        f.seen = r.reports;
        f.raised = r.raised;
        f.bank = r.bank == FaultHistory::kNoBank ? -1 : r.bank;
        f.severity = severityOf(r);
        (r.active ? report.activeFaults : report.pastFaults).push_back(std::move(f));
    }
    const auto recentFirst = [](const auto& a, const auto& b) { return a.lastSeen > b.lastSeen; };
    std::stable_sort(report.activeFaults.begin(), report.activeFaults.end(), recentFirst);
    std::stable_sort(report.pastFaults.begin(), report.pastFaults.end(), recentFirst);
    report.faultsForgotten = snapshot.faultsForgotten;

    for (const auto& n : snapshot.nodes) {
        if (n.claimConflicts > 0) report.conflicts.push_back({n.address, n.names});
        if (!n.silent) continue;
        HealthReport::SilentNode s{n.address, nodeName(n.address, devices, nodes), n.lastSeen, {}};
        for (const auto& d : snapshot.silentDgns) {
            if (d.address == n.address) s.dgns.push_back(d.dgn);
        }
        report.silentNodes.push_back(std::move(s));
    }

    report.bitRate = snapshot.bitRate;
    report.loadAverage = snapshot.loadAverage;
    report.loadPeak = snapshot.loadPeak;
    report.peakSecond = snapshot.peakSecondMicros;
    return report;
}

}  // namespace corvane::health
