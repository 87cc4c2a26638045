#include "app/AdapterWatch.h"

#include <algorithm>
#include <utility>

#include "debugport/DebugPrint.h"

namespace corvane {

namespace {

// The messages of a try: nobody is there to read a box, and a line per failed try would
// bury the output.
class TraceNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        DebugPrint("[%.*s] %.*s\r\n", static_cast<int>(title.size()), title.data(),
                   static_cast<int>(text.size()), text.data());
    }
};

}  // namespace

AdapterWatch::AdapterWatch(AdapterSelection& selection, std::vector<Watched> watched,
                           RoutedNotifier& notifier, const Clock& clock, Say say)
    : selection_(selection),
      watched_(std::move(watched)),
      notifier_(notifier),
      clock_(clock),
      say_(std::move(say)) {}

const AdapterWatch::Watched* AdapterWatch::find(const Conduit& conduit) const {
    for (const auto& w : watched_) {
        if (w.conduit == &conduit) return &w;
    }
    return nullptr;
}

bool AdapterWatch::tryAgain(Conduit& conduit) {
    TraceNotifier trace;
    UserNotifier* previous = notifier_.target();
    notifier_.route(&trace);
    const bool connected = conduit.connect() != 0 && conduit.getState() == Conduit::kConnected;
    notifier_.route(previous);
    return connected;
}

void AdapterWatch::step() {
    Conduit& current = selection_.current();
    const Watched* w = find(current);
    const ConduitState state = current.getState();
    if (!w || state == Conduit::kDisabled) {
        seenConnected_ = nullptr;
        lost_ = nullptr;
        return;
    }
    if (state == Conduit::kConnected) {
        if (lost_ == w) say_(w->name + " is back: reconnected");
        lost_ = nullptr;
        seenConnected_ = w;
        return;
    }
    if (lost_ != w) {
        if (seenConnected_ != w) return;  // nothing to regain
        lost_ = w;
        pauseMs_ = kFirstPauseMs;
        nextTryMs_ = clock_.steadyMilliseconds() + pauseMs_;
        say_(w->name + " lost: reconnecting when it returns");
        return;
    }
    if (clock_.steadyMilliseconds() < nextTryMs_) return;
    if (tryAgain(current)) {
        say_(w->name + " is back: reconnected");
        lost_ = nullptr;
        return;
    }
    pauseMs_ = std::min(pauseMs_ * 2, kLongestPauseMs);
    // Counted from the end of the try: a slow probe does not eat the pause.
    nextTryMs_ = clock_.steadyMilliseconds() + pauseMs_;
}

}  // namespace corvane
