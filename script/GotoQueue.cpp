#include "script/GotoQueue.h"

namespace corvane {

bool GotoQueue::Push(uint32_t offset) {
    if (count_ >= kCapacity) return false;
    offsets_[write_] = offset;
    write_ = (write_ + 1) % kCapacity;
    ++count_;
    return true;
}

std::optional<uint32_t> GotoQueue::Take() {
    if (count_ == 0) return std::nullopt;
    const uint32_t offset = offsets_[read_];
    read_ = (read_ + 1) % kCapacity;
    --count_;
    return offset;
}

void GotoQueue::Clear() {
    count_ = 0;
    read_ = 0;
    write_ = 0;
}

}  // namespace corvane
