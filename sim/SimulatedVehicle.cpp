#include "sim/SimulatedVehicle.h"

#include <algorithm>
#include <array>

#include "core/Dgn.h"
#include "sim/CoachModel.h"
#include "sim/SimDiagnostics.h"

namespace corvane::sim {

namespace {

constexpr int64_t kTickMs = 500;
constexpr int64_t kAnswerDelayMs = 5;
constexpr int64_t kPacketSpacingMs = 10;
constexpr uint8_t kPriority = 6;

// RV-C data DGNs the nodes send.
constexpr uint32_t kInverterStatus = 0x1FFD4;
constexpr uint32_t kDcSourceStatus1 = 0x1FFFD;
constexpr uint32_t kDcSourceStatus2 = 0x1FFFC;
constexpr uint32_t kInverterAcStatus1 = 0x1FFD7;
constexpr uint32_t kThermostatAmbient = 0x1FF9C;
constexpr uint32_t kThermostatStatus1 = 0x1FFE2;
constexpr uint32_t kWaterHeaterStatus = 0x1FFF7;
constexpr uint32_t kTankStatus = 0x1FFB7;

RvcFrame frameOf(uint32_t dgn, uint8_t sa, const std::array<uint8_t, 8>& data, uint8_t priority,
                 int64_t at) {
    return makeFrame(CanIdentifier{priority, dgn, sa, 0}, static_cast<uint32_t>(at), 8, data);
}

// Degrees C in the usual RV-C encoding: uint16 of (C + 273) / 0.03125.
uint16_t celsius(double c) { return static_cast<uint16_t>((c + 273.0) / 0.03125); }

uint8_t lo(uint32_t v) { return static_cast<uint8_t>(v); }
uint8_t hi(uint32_t v) { return static_cast<uint8_t>(v >> 8); }

}  // namespace

std::vector<SimNode> standardNodes() {
    return {
        {0x42, 66, "Norvale Power", "NV-3000 Inverter", "NV30-118204", "3000", 0x05, false, true,
         40},
        {0x58, 88, "Coldline", "CT-88 Thermostat", "CT8800412", "88", 0x05, false, true, 120},
        // Every minute the water heater sees its supply voltage sag for 20 s, and the tank
        // sensor loses its supply for the last 20 s.
        {0x65,
         101,
         "ACME",
         "Heater 5",
         "SN123",
         "7",
         0x05,
         false,
         true,
         210,
         false,
         {168, 4, 60000, 15000, 35000}},
        {0x48,
         72,
         "Brightwater",
         "TankSense 4",
         "BW-4-2231",
         "4",
         0x05,
         true,
         true,
         330,
         false,
         {3509, 5, 60000, 40000, 60000}},
        {0x8E,
         142,
         "Skyvent",
         "Roof Fan 2",
         "SV2-0091",
         "2",
         0x05,
         false,
         false,
         420,
         true,
         {},
         true},
    };
}

SimulatedVehicle::SimulatedVehicle(uint32_t seed) : SimulatedVehicle(standardNodes(), seed) {}

SimulatedVehicle::SimulatedVehicle(std::vector<SimNode> nodes, uint32_t seed)
    : nodes_(std::move(nodes)), random_(seed ? seed : 1) {}

uint32_t SimulatedVehicle::nextRandomLocked() {
    // xorshift32: the same sequence on every platform and library.
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return random_;
}

void SimulatedVehicle::scheduleLocked(int64_t at, const RvcFrame& frame) {
    RvcFrame f = frame;
    f.timestamp = static_cast<uint32_t>(at);
    pending_.emplace(at, f);
}

void SimulatedVehicle::emitPeriodicLocked(SimNode& node, int64_t at, bool statusDue) {
    if (statusDue) {
        uint32_t dgn = node.legacyDm1 ? dgn::kDm1 : dgn::kDmRv;
        scheduleLocked(at, frameOf(dgn, node.sa, diagnosticData(node, at), kPriority, at));
    }
    const uint32_t noise = nextRandomLocked();
    switch (node.dsa) {
        case 66: {  // inverter: its status, and the house battery it draws from
            scheduleLocked(at + 1,
                           frameOf(kInverterStatus, node.sa,
                                   {1, 2, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, kPriority, at + 1));
            const uint16_t volts = encodeVolts(CoachModel::batteryVolts(at, noise));
            const uint32_t amps = encodeAmps32(CoachModel::batteryAmps(noise >> 8));
            scheduleLocked(at + 2, frameOf(kDcSourceStatus1, node.sa,
                                           {1, 100, lo(volts), hi(volts), lo(amps), hi(amps),
                                            lo(amps >> 16), hi(amps >> 16)},
                                           kPriority, at + 2));
            const auto soc = static_cast<uint8_t>(2 * CoachModel::stateOfChargePercent(at));
            scheduleLocked(at + 3,
                           frameOf(kDcSourceStatus2, node.sa,
                                   {1, 100, 0xFF, 0xFF, soc, 0xFF, 0xFF, 0xFF}, kPriority, at + 3));
            // Passing shore power through: 120 V, 60 Hz, 2.5 A on line 1 of the output.
            const uint16_t acVolts = encodeVolts(120.0);
            const uint16_t acAmps = encodeAmps16(2.5);
            const uint16_t hertz = 60 * 128;
            scheduleLocked(at + 4, frameOf(kInverterAcStatus1, node.sa,
                                           {0x41, lo(acVolts), hi(acVolts), lo(acAmps), hi(acAmps),
                                            lo(hertz), hi(hertz), 0x00},
                                           kPriority, at + 4));
            break;
        }
        case 88: {  // thermostat: cooling, fan auto, set point 22 C
            uint16_t set = celsius(22.0);
            scheduleLocked(
                at + 1,
                frameOf(kThermostatStatus1, node.sa,
                        {1, 0x01, 0x64, static_cast<uint8_t>(set), static_cast<uint8_t>(set >> 8),
                         static_cast<uint8_t>(set), static_cast<uint8_t>(set >> 8), 0xFF},
                        kPriority, at + 1));
            const uint16_t cabin = encodeCelsius16(CoachModel::cabinCelsius(at, noise));
            scheduleLocked(at + 2, frameOf(kThermostatAmbient, node.sa,
                                           {1, lo(cabin), hi(cabin), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                           kPriority, at + 2));
            break;
        }
        case 101: {  // water heater: gas, set point 55 C, water 48-50 C
            uint16_t set = celsius(55.0);
            uint16_t water = static_cast<uint16_t>(celsius(48.0) + noise % 64);
            scheduleLocked(
                at + 1,
                frameOf(kWaterHeaterStatus, node.sa,
                        {1, 1, static_cast<uint8_t>(set), static_cast<uint8_t>(set >> 8),
                         static_cast<uint8_t>(water), static_cast<uint8_t>(water >> 8), 0xF5, 0xFF},
                        kPriority, at + 1));
            break;
        }
        case 72: {  // tanks: fresh, black, grey
            const uint8_t levels[3] = {
                static_cast<uint8_t>(CoachModel::freshWaterPercent(at) + noise % 2), 25,
                static_cast<uint8_t>(CoachModel::greyWaterPercent(at))};
            for (uint8_t tank = 0; tank < 3; ++tank) {
                scheduleLocked(at + 1 + tank,
                               frameOf(kTankStatus, node.sa,
                                       {tank, levels[tank], 100, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                       kPriority, at + 1 + tank));
            }
            break;
        }
        default:
            break;
    }
    if (node.dimmers) {
        for (size_t light = 0; light < SimDimmers::kCount; ++light) {
            scheduleDimmerLocked(node, light, at + 1 + static_cast<int64_t>(light));
        }
    }
    if (node.loads) {
        for (size_t load = 0; load < SimLoads::kCount; ++load) {
            scheduleLoadLocked(node, load,
                               at + 1 + SimDimmers::kCount + static_cast<int64_t>(load));
        }
    }
}

void SimulatedVehicle::scheduleLoadLocked(const SimNode& node, size_t load, int64_t at) {
    scheduleLocked(at, frameOf(SimLoads::kStatusDgn, node.sa, loads_.status(load), kPriority, at));
}

void SimulatedVehicle::scheduleDimmerLocked(const SimNode& node, size_t light, int64_t at) {
    scheduleLocked(at,
                   frameOf(SimDimmers::kStatusDgn, node.sa, dimmers_.status(light), kPriority, at));
}

void SimulatedVehicle::advanceTo(int64_t ms, const FrameOut& out) {
    std::vector<RvcFrame> due;
    {
        std::lock_guard lock(mutex_);
        while (nextTick_ <= ms) {
            const bool statusDue = nextTick_ % 1000 == 0;
            for (auto& node : nodes_) {
                emitPeriodicLocked(node, nextTick_ + node.phaseMs % kTickMs, statusDue);
            }
            nextTick_ += kTickMs;
        }
        auto end = pending_.upper_bound(ms);
        for (auto it = pending_.begin(); it != end; ++it) due.push_back(it->second);
        pending_.erase(pending_.begin(), end);
        now_ = std::max(now_, ms);
    }
    // Handed out without the lock, so that `out` may feed answers back through receive().
    for (const auto& f : due) out(f);
}

void SimulatedVehicle::receive(const RvcFrame& frame) {
    if (frame.dgn == SimDimmers::kCommandDgn) {
        std::lock_guard lock(mutex_);
        const auto instance = dimmers_.apply(frame);
        if (!instance) return;
        // The new level is reported at once, as a real controller does.
        for (const auto& node : nodes_) {
            if (!node.dimmers) continue;
            scheduleDimmerLocked(node, *instance - SimDimmers::kFirstInstance,
                                 now_ + kAnswerDelayMs);
        }
        return;
    }
    if (frame.dgn == SimLoads::kCommandDgn) {
        std::lock_guard lock(mutex_);
        const auto instance = loads_.apply(frame);
        if (!instance) return;
        for (const auto& node : nodes_) {
            if (!node.loads) continue;
            scheduleLoadLocked(node, *instance - SimLoads::kFirstInstance, now_ + kAnswerDelayMs);
        }
        return;
    }
    if (!isRequest(frame.dgn) || heldBytes(frame) < 3) return;
    const uint8_t destination = destinationOf(frame.dgn);
    const uint32_t requested =
        frame.data[0] | (uint32_t{frame.data[1]} << 8) | (uint32_t{frame.data[2]} << 16);
    std::lock_guard lock(mutex_);
    for (const auto& node : nodes_) {
        if (destination != node.sa && destination != kGlobalAddress) continue;
        int64_t at = now_ + kAnswerDelayMs;
        if (requested == dgn::kProductId && node.answersProductId) {
            for (const auto& f : productIdTransfer(node)) {
                scheduleLocked(at, f);
                at += kPacketSpacingMs;
            }
        } else if (requested == dgn::kDmRv && !node.legacyDm1) {
            scheduleLocked(at,
                           frameOf(dgn::kDmRv, node.sa, diagnosticData(node, at), kPriority, at));
        } else if (requested == dgn::kDm1 && node.legacyDm1) {
            scheduleLocked(at,
                           frameOf(dgn::kDm1, node.sa, diagnosticData(node, at), kPriority, at));
        }
    }
}

std::vector<RvcFrame> SimulatedVehicle::productIdTransfer(const SimNode& node) {
    const std::string text =
        node.make + "*" + node.model + "*" + node.serialNumber + "*" + node.idNumber + "*";
    const size_t size = std::min<size_t>(text.size(), kMaxMessageData);
    const uint8_t packets = static_cast<uint8_t>((size + 6) / 7);
    std::vector<RvcFrame> frames;
    frames.push_back(frameOf(dgn::kTransportControl | kGlobalAddress, node.sa,
                             {0x20, static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                              packets, 0xFF, 0xEB, 0xFE, 0x00},
                             7, 0));
    for (uint8_t p = 0; p < packets; ++p) {
        std::array<uint8_t, 8> data;
        data.fill(0xFF);
        data[0] = static_cast<uint8_t>(p + 1);
        for (size_t i = 0; i < 7 && size_t{p} * 7 + i < size; ++i) {
            data[1 + i] = static_cast<uint8_t>(text[size_t{p} * 7 + i]);
        }
        frames.push_back(frameOf(dgn::kTransportData | kGlobalAddress, node.sa, data, 7, 0));
    }
    return frames;
}

int64_t SimulatedVehicle::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::vector<SimNode> SimulatedVehicle::nodes() const {
    std::lock_guard lock(mutex_);
    return nodes_;
}

void SimulatedVehicle::setStatus(uint8_t sa, uint8_t status) {
    std::lock_guard lock(mutex_);
    for (auto& node : nodes_) {
        if (node.sa == sa) node.status = status;
    }
}

}  // namespace corvane::sim
