#pragma once

#include <string>
#include <vector>

#include "core/DeviceTable.h"

namespace corvane {

// The device list as terminal lines, ordered by DSA then source address: the header, then one
// line per listed device (identified ones, and phantoms when `showPhantoms`).
//   " SA DSA Type                          Status           Make / Model"
//   " 42  66 Inverter                      On  Active       Norvale Power / NV-3000"
std::vector<std::string> deviceListLines(const DeviceTable& table, bool showPhantoms);

}  // namespace corvane
