#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace corvane::test {

// A 10 ms timer on the user-interface thread while it lives: the gaps between its ticks are
// how long the window could not answer. The longest gap also holds whatever the machine did to
// the process (a busy CI machine can stop it for 100 ms); a high percentile of the gaps shows
// what the window itself does, every tick.
class StallProbe {
  public:
    StallProbe() {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const int64_t now = since_.elapsed();
            if (last_ > 0) {
                longestGap_ = std::max(longestGap_, now - last_);
                gaps_.push_back(now - last_);
            }
            last_ = now;
        });
        timer_.start(10);
    }
    void stop() { timer_.stop(); }
    int64_t longestGapMs() const { return longestGap_; }
    // The gap that `fraction` of all gaps stay within (0.99: the 99th percentile).
    int64_t gapPercentileMs(double fraction) const {
        if (gaps_.empty()) return 0;
        std::vector<int64_t> sorted = gaps_;
        const size_t at =
            std::min(sorted.size() - 1, static_cast<size_t>(fraction * sorted.size()));
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(at),
                         sorted.end());
        return sorted[at];
    }

  private:
    QElapsedTimer since_;
    QTimer timer_;
    int64_t last_ = 0;
    int64_t longestGap_ = 0;
    std::vector<int64_t> gaps_;
};

}  // namespace corvane::test
