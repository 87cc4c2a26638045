#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdint>

namespace corvane::test {

// A 10 ms timer on the user-interface thread while it lives: the longest gap between its
// ticks is how long the window could not answer.
class StallProbe {
  public:
    StallProbe() {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const int64_t now = since_.elapsed();
            if (last_ > 0) longestGap_ = std::max(longestGap_, now - last_);
            last_ = now;
        });
        timer_.start(10);
    }
    void stop() { timer_.stop(); }
    int64_t longestGapMs() const { return longestGap_; }

  private:
    QElapsedTimer since_;
    QTimer timer_;
    int64_t last_ = 0;
    int64_t longestGap_ = 0;
};

}  // namespace corvane::test
