#include "script/VariableList.h"

namespace corvane {

RVCDatum* VariableList::Locked::FindVariable(std::string_view name) const {
    for (const auto& datum : list_.datums_) {
        if (datum->name == name) return datum.get();
    }
    return nullptr;
}

RVCDatum* VariableList::Locked::Append(std::unique_ptr<RVCDatum> datum) {
    RVCDatum* added = datum.get();
    list_.datums_.push_back(std::move(datum));
    list_.count_.store(list_.datums_.size(), std::memory_order_relaxed);
    return added;
}

void VariableList::Locked::Clear() {
    list_.datums_.clear();
    list_.count_.store(0, std::memory_order_relaxed);
}

void VariableList::offer(const RvcMessage& message) {
    if (empty()) return;
    std::lock_guard lock(mutex_);
    for (const auto& datum : datums_) datum->UpdateFromMessage(message);
}

}  // namespace corvane
