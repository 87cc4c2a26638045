#include "decode/Catalogue.h"

#include <algorithm>
#include <utility>

namespace corvane::decode {

void Catalogue::add(MessageSpec message) {
    auto it = std::lower_bound(keys_.begin(), keys_.end(), message.dgn);
    const auto index = it - keys_.begin();
    if (it != keys_.end() && *it == message.dgn) {
        messages_[index] = std::move(message);
        return;
    }
    keys_.insert(it, message.dgn);
    messages_.insert(messages_.begin() + index, std::move(message));
}

void Catalogue::merge(Catalogue other) {
    for (auto& message : other.messages_) add(std::move(message));
}

const MessageSpec* Catalogue::findExact(uint32_t dgn) const {
    auto it = std::lower_bound(keys_.begin(), keys_.end(), dgn);
    if (it == keys_.end() || *it != dgn) return nullptr;
    return &messages_[it - keys_.begin()];
}

const MessageSpec* Catalogue::find(uint32_t dgn) const {
    if (const MessageSpec* exact = findExact(dgn)) return exact;
    if (isPdu1(dgn)) return findExact(dgn & 0x3FF00);
    return nullptr;
}

}  // namespace corvane::decode
