#pragma once

#include <string_view>
#include <vector>

#include "script/EventItem.h"

namespace corvane {

// The running script's events and timers in creation order. Owned by the script engine and
// used on the thread that runs the script. Evaluation may create events while it walks the
// list, so callers walk it by index and never keep a reference across a command.
class EventList {
  public:
    EventItem& Append(EventItem item);
    // The first event named `upper`, or nullptr.
    EventItem* FindEvent(std::string_view upper);
    void Clear() { items_.clear(); }

    size_t size() const { return items_.size(); }
    EventItem& operator[](size_t index) { return items_[index]; }
    const EventItem& operator[](size_t index) const { return items_[index]; }

  private:
    std::vector<EventItem> items_;
};

}  // namespace corvane
