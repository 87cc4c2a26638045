#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/traffic/TrafficLog.h"

namespace corvane {

// The shown rows of the Messages tab as a candump log, so that the replay and other tools take
// them back. A message of up to 8 bytes is one frame; a longer one is written as the broadcast
// transfer that carries it (TP.CM announce, then TP.DT packets of 7 bytes, the last padded
// with FF), so that replaying the file reassembles it. Frames go out at priority 6, the
// time stamp of every frame that of its message.
//   DGN 0x1FFFD from 0x42, 8 bytes -> "(1700000000.000000) can0 19FFFD42#0164..."
//   21 bytes of PRODUCT_ID from 0x42 -> 18ECFF42#201500 03 FF EBFE00, then 3 TP.DT frames
std::vector<std::string> candumpLines(const TrafficRow& row);

// Writes every shown row of `log` to `path`, compressed when the name ends in .gz or .zst
// (see LogWriter); false with the reason in `error` when the file cannot be written.
bool exportCandump(const TrafficLog& log, const std::string& path, std::string& error);

}  // namespace corvane
