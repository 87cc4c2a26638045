#pragma once

#include <cstdint>
#include <string>

#include "core/DeviceTable.h"

namespace corvane {

// The debug port's "devs" report: every node, then every device, in table order, lines ended
// "\n\r". `now` is the current time in seconds since 1970.
//   "Nodes\n\r"
//   "  42 [ 66]  5 sec Acme X1 123 7 \n\r"
//   "Devices\n\r"
//   "  SA: 42 [ 66]  DSA: 42 [ 66]   5 sec  ID:1 Inverter\n\r"
std::string ReportDeviceList(const DeviceTable& table, int64_t now);

}  // namespace corvane
