#include "sim/SimDiagnostics.h"

#include <algorithm>

namespace corvane::sim {

bool faultActive(const SimFault& fault, int64_t atMs) {
    if (fault.cycleMs <= 0 || atMs < 0) return false;
    const int64_t inCycle = atMs % fault.cycleMs;
    return inCycle >= fault.fromMs && inCycle < fault.toMs;
}

std::array<uint8_t, 8> diagnosticData(const SimNode& node, int64_t atMs) {
    std::array<uint8_t, 8> data{node.status, node.dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const SimFault& f = node.fault;
    if (!faultActive(f, atMs)) return data;
    const auto raised = static_cast<uint8_t>(std::min<int64_t>(atMs / f.cycleMs + 1, 126));
    const uint8_t fmi = f.fmi & 0x1F;
    if (node.legacyDm1) {
        data[0] = static_cast<uint8_t>((node.status & ~0x0C) | 0x04);  // amber lamp
        data[2] = static_cast<uint8_t>(f.spn);
        data[3] = static_cast<uint8_t>(f.spn >> 8);
        data[4] = static_cast<uint8_t>(((f.spn >> 16) & 7) << 5 | fmi);
    } else {
        data[0] = static_cast<uint8_t>((node.status & ~0x30) | 0x10);  // yellow lamp
        data[2] = static_cast<uint8_t>(f.spn >> 11);
        data[3] = static_cast<uint8_t>(f.spn >> 3);
        data[4] = static_cast<uint8_t>((f.spn & 7) << 5 | fmi);
    }
    data[5] = raised;
    return data;
}

}  // namespace corvane::sim
