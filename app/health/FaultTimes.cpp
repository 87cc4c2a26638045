#include "app/health/FaultTimes.h"

#include <ctime>

#include "health/HealthReport.h"
#include "platform/Clock.h"

namespace corvane {

std::function<std::string(int64_t)> faultTimeText(const Clock* clock) {
    return [clock](int64_t micros) -> std::string {
        const auto local = clock ? clock->localTime(micros / 1'000'000) : std::nullopt;
        if (!local) return health::utcText(micros);
        char text[16];
        std::strftime(text, sizeof text, "%H:%M:%S", &*local);
        return text;
    };
}

}  // namespace corvane
