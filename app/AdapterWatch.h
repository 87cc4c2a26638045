#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "adapters/AdapterSelection.h"
#include "adapters/Conduit.h"
#include "app/RoutedNotifier.h"
#include "platform/Clock.h"

namespace corvane {

// Keeps the adapter of an unattended run connected. When the current adapter - one of those
// watched - loses a link it had, it is tried again after kFirstPauseMs, then after pauses
// that double up to kLongestPauseMs, until it answers. One line is said when a link is lost
// and one when it is regained; what a failed try would show the user goes to the trace.
// An adapter the user switches away from, or that never connected, is left alone.
//
// Threads: step() runs on the user-interface thread, and so do the connects it makes.
class AdapterWatch {
  public:
    static constexpr int64_t kFirstPauseMs = 500;
    static constexpr int64_t kLongestPauseMs = 4000;

    struct Watched {
        Conduit* conduit;
        std::string name;  // for the lines said, e.g. "Vexor-series adapter"
    };
    using Say = std::function<void(const std::string& line)>;

    AdapterWatch(AdapterSelection& selection, std::vector<Watched> watched,
                 RoutedNotifier& notifier, const Clock& clock, Say say);

    // Looks at the current adapter, and tries it again when its pause is over.
    void step();
    // Whether a lost link is being tried again.
    bool reconnecting() const { return lost_ != nullptr; }

  private:
    const Watched* find(const Conduit& conduit) const;
    // One try, with the user's messages sent to the trace; whether it connected.
    bool tryAgain(Conduit& conduit);

    AdapterSelection& selection_;
    const std::vector<Watched> watched_;
    RoutedNotifier& notifier_;
    const Clock& clock_;
    const Say say_;

    const Watched* seenConnected_ = nullptr;  // the watched adapter last seen connected
    const Watched* lost_ = nullptr;           // the one being tried again
    int64_t pauseMs_ = kFirstPauseMs;
    int64_t nextTryMs_ = 0;
};

}  // namespace corvane
