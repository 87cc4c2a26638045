#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "core/MessageSink.h"
#include "script/RVCDatum.h"

namespace corvane {

// The running script's variables, in the order the script created them. The manager's dispatch
// offers every complete message from adapter threads while the user-interface thread reads,
// changes, clears and deletes datums; `mutex_` guards the list and every datum in it, so the UI
// side reaches datums only through a `Locked` view.
class VariableList final : public MessageSink {
  public:
    using Datums = std::vector<std::unique_ptr<RVCDatum>>;

    // The list while its lock is held. Pointers taken from it must not outlive it, and nothing
    // that may draw the variables (the window) is called while it is held.
    class Locked {
      public:
        explicit Locked(VariableList& list) : lock_(list.mutex_), list_(list) {}

        // The first datum whose name equals `name` exactly (callers pass upper case); a
        // button is found by an empty name.
        RVCDatum* FindVariable(std::string_view name) const;
        // Appends, also when a datum of the same name exists (lookups find the first).
        RVCDatum* Append(std::unique_ptr<RVCDatum> datum);
        // Deletes every datum.
        void Clear();
        const Datums& datums() const { return list_.datums_; }
        size_t size() const { return list_.datums_.size(); }

      private:
        std::unique_lock<std::mutex> lock_;
        VariableList& list_;
    };

    Locked Lock() { return Locked(*this); }

    // Dispatch side: every datum, in list order, may take its value from the message.
    void offer(const RvcMessage& message) override;

    // Deletes every datum (a new script, LOOP, Run Again, the window closing).
    void Clear() { Lock().Clear(); }
    bool empty() const { return count_.load(std::memory_order_relaxed) == 0; }

  private:
    std::mutex mutex_;
    Datums datums_;                 // guarded by mutex_
    std::atomic<size_t> count_{0};  // lets dispatch skip the lock while there is nothing to feed
};

}  // namespace corvane
