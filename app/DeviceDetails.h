#pragma once

#include <string>

#include "core/RVCDevice.h"
#include "core/RVCNode.h"

namespace corvane {

// The Details box of the main window for a selected device and its node (the "Not Found"
// placeholder when the address never identified itself): six lines, each ended by CR LF.
//   "Source Address : 066\r\nDefault Source Address : 088\r\nMake : ...\r\n..."
std::string DeviceDetailsText(const RVCDevice& device, const RVCNode& node);

}  // namespace corvane
