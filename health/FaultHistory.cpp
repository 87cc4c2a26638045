#include "health/FaultHistory.h"

#include <algorithm>
#include <tuple>
#include <unordered_set>

namespace corvane::health {

uint32_t FaultHistory::deviceKey(uint8_t sa, uint8_t dsa, uint8_t bank, bool legacy) {
    return (uint32_t{legacy} << 20) | (uint32_t{bank & 0x0Fu} << 16) | (uint32_t{sa} << 8) | dsa;
}

uint32_t FaultHistory::faultKey(const TroubleCode& code) {
    return ((code.spn & kSpnNotAvailable) << 5) | (code.fmi & 0x1Fu);
}

FaultHistory::Entry& FaultHistory::deviceFor(uint8_t sa, uint8_t dsa, uint8_t bank, bool legacy,
                                             uint8_t status, int64_t micros) {
    const uint32_t key = deviceKey(sa, dsa, bank, legacy);
    auto it = devices_.find(key);
    if (it == devices_.end()) {
        if (devices_.size() >= kDevices) {
            auto oldest = std::min_element(devices_.begin(), devices_.end(), [](auto& a, auto& b) {
                return a.second.device.lastSeen < b.second.device.lastSeen;
            });
            forgotten_ += oldest->second.faults.size();
            faultCount_ -= oldest->second.faults.size();
            devices_.erase(oldest);
        }
        Entry entry;
        entry.device = Device{sa, dsa, bank, legacy, status, micros, micros};
        it = devices_.emplace(key, std::move(entry)).first;
    }
    it->second.device.status = status;
    it->second.device.lastSeen = micros;
    return it->second;
}

namespace {

// The past fault cleared longest ago; when every one is active, the one reported longest ago
// and, of those, least often.
bool goesFirst(const FaultHistory::Record& a, const FaultHistory::Record& b) {
    if (a.active != b.active) return !a.active;
    if (!a.active) return a.clearedAt < b.clearedAt;
    return a.lastSeen != b.lastSeen ? a.lastSeen < b.lastSeen : a.reports < b.reports;
}

}  // namespace

void FaultHistory::makeRoomIn(Entry& device) {
    auto& faults = device.faults;
    if (faults.size() < kFaultsPerDevice) return;
    auto victim = faults.begin();
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (goesFirst(it->second.record, victim->second.record)) victim = it;
    }
    faults.erase(victim);
    --faultCount_;
    ++forgotten_;
}

void FaultHistory::makeRoomOverall() {
    if (faultCount_ < kFaults) return;
    Entry* from = nullptr;
    std::unordered_map<uint32_t, Fault>::iterator victim;
    for (auto& [deviceKey, device] : devices_) {
        for (auto it = device.faults.begin(); it != device.faults.end(); ++it) {
            if (from == nullptr || goesFirst(it->second.record, victim->second.record)) {
                from = &device;
                victim = it;
            }
        }
    }
    from->faults.erase(victim);
    --faultCount_;
    ++forgotten_;
}

FaultHistory::Record& FaultHistory::see(Entry& device, const TroubleCode& code, int64_t micros) {
    const uint32_t key = faultKey(code);
    auto it = device.faults.find(key);
    if (it == device.faults.end()) {
        makeRoomIn(device);
        makeRoomOverall();
        ++faultCount_;
        Fault fault;
        fault.order = nextOrder_++;
        fault.record.sa = device.device.sa;
        fault.record.dsa = device.device.dsa;
        fault.record.bank = device.device.bank;
        fault.record.legacy = device.device.legacy;
        fault.record.firstSeen = micros;
        it = device.faults.emplace(key, fault).first;
    }
    Record& r = it->second.record;
    if (!r.active) {
        r.active = true;
        ++r.raised;
    }
    r.code = code;
    r.lastSeen = micros;
    ++r.reports;
    return r;
}

void FaultHistory::clear(Record& r, int64_t micros) {
    r.active = false;
    r.clearedAt = micros;
}

void FaultHistory::onDmRv(uint8_t sa, const DmRvReport& report, int64_t micros) {
    const uint8_t status = static_cast<uint8_t>(static_cast<uint8_t>(report.operatingStatus) |
                                                (static_cast<uint8_t>(report.activity) << 2) |
                                                (static_cast<uint8_t>(report.yellowLamp) << 4) |
                                                (static_cast<uint8_t>(report.redLamp) << 6));
    Entry& device = deviceFor(sa, report.dsa, report.bankSelect, false, status, micros);
    if (!report.code) {
        for (auto& [key, fault] : device.faults) {
            if (fault.record.active) clear(fault.record, micros);
        }
        return;
    }
    Record& r = see(device, *report.code, micros);
    r.redLamp = report.redLamp;
    r.yellowLamp = report.yellowLamp;
}

void FaultHistory::onDm1(uint8_t sa, const Dm1Report& report, int64_t micros) {
    const uint8_t status = static_cast<uint8_t>(
        static_cast<uint8_t>(report.protectLamp) | (static_cast<uint8_t>(report.amberLamp) << 2) |
        (static_cast<uint8_t>(report.redLamp) << 4) |
        (static_cast<uint8_t>(report.malfunctionLamp) << 6));
    Entry& device = deviceFor(sa, report.dsa, kNoBank, true, status, micros);
    std::unordered_set<uint32_t> listed;
    listed.reserve(report.codes.size());
    for (const TroubleCode& code : report.codes) {
        listed.insert(faultKey(code));
        Record& r = see(device, code, micros);
        r.redLamp = report.redLamp;
        r.yellowLamp = report.amberLamp;
        r.protectLamp = report.protectLamp;
        r.malfunctionLamp = report.malfunctionLamp;
    }
    // A DM1 lists every active code: the ones it left out are gone.
    for (auto& [key, fault] : device.faults) {
        if (fault.record.active && !listed.contains(key)) clear(fault.record, micros);
    }
}

void FaultHistory::expire(int64_t micros) {
    for (auto& [deviceKey, device] : devices_) {
        for (auto& [key, fault] : device.faults) {
            Record& r = fault.record;
            if (r.active && micros - r.lastSeen > kStaleMicros) clear(r, micros);
        }
    }
}

std::vector<FaultHistory::Record> FaultHistory::records() const {
    std::vector<const Fault*> all;
    for (const auto& [deviceKey, device] : devices_) {
        for (const auto& [key, fault] : device.faults) all.push_back(&fault);
    }
    std::sort(all.begin(), all.end(), [](auto* a, auto* b) { return a->order < b->order; });
    std::vector<Record> out;
    out.reserve(all.size());
    for (const Fault* f : all) out.push_back(f->record);
    return out;
}

std::vector<FaultHistory::Device> FaultHistory::devices() const {
    std::vector<Device> out;
    out.reserve(devices_.size());
    for (const auto& [key, entry] : devices_) out.push_back(entry.device);
    std::sort(out.begin(), out.end(), [](const Device& a, const Device& b) {
        return std::tie(a.sa, a.dsa, a.bank, a.legacy) < std::tie(b.sa, b.dsa, b.bank, b.legacy);
    });
    return out;
}

size_t FaultHistory::activeCount() const {
    size_t count = 0;
    for (const auto& [deviceKey, device] : devices_) {
        for (const auto& [key, fault] : device.faults) count += fault.record.active ? 1 : 0;
    }
    return count;
}

}  // namespace corvane::health
