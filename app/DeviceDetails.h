#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/RVCDevice.h"
#include "core/RVCNode.h"
#include "health/HealthReport.h"

namespace corvane {

// The Details box of the main window for a selected device and its node (the "Not Found"
// placeholder when the address never identified itself): the addresses and the node's four
// texts, then the two lamps of the status byte (each field Off, On, Error or Not Available)
// and the fault bytes as received, then the device's faults in words, active ones first, their
// times written by `timeText`; each line ended by CR LF.
//   "Source Address : 066\r\nDefault Source Address : 088\r\nMake : ...\r\n...
//    Lamps : Red On, Yellow Off\r\nFault Bytes : 9C 00 03 01 FF FF\r\n
//    Fault : Red lamp on. SPN 168 (battery potential) - FMI 1: ... - seen 3 times, first
//    14:02:11, last 14:05:40\r\nPast Fault : SPN ... cleared 14:06:10\r\n"
std::string DeviceDetailsText(const RVCDevice& device, const RVCNode& node,
                              const std::vector<health::HealthReport::Fault>& faults = {},
                              const std::function<std::string(int64_t)>& timeText = {});

}  // namespace corvane
