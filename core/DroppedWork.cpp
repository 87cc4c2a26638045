#include "core/DroppedWork.h"

#include <cinttypes>
#include <cstdio>

namespace corvane {

std::string DroppedWork::reportLine() const {
    char line[96];
    std::snprintf(line, sizeof line,
                  "Dropped: client deliveries=%" PRIu64 " adapter ring full=%" PRIu64 " \r\n",
                  skippedDeliveries(), fullRing());
    return line;
}

}  // namespace corvane
