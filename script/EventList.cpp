#include "script/EventList.h"

namespace corvane {

EventItem& EventList::Append(EventItem item) {
    items_.push_back(std::move(item));
    return items_.back();
}

EventItem* EventList::FindEvent(std::string_view upper) {
    for (auto& item : items_) {
        if (item.name == upper) return &item;
    }
    return nullptr;
}

}  // namespace corvane
