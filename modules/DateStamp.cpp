#include "modules/DateStamp.h"

#include "platform/FileInfo.h"

namespace corvane {

int32_t DateStamp(const Clock& clock) {
    auto local = FileInfo::toLocalTime(clock.epochSeconds());
    if (!local) return 0;
    return local->year * 10000 + local->month * 100 + local->day;
}

}  // namespace corvane
