#pragma once

#include <cstdint>

#include "platform/Clock.h"

namespace corvane {

// Today's local date as year * 10000 + month * 100 + day (20240305 for 5 March 2024); 0 when
// the local time cannot be computed.
int32_t DateStamp(const Clock& clock);

}  // namespace corvane
