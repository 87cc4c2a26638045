#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace corvane {

// File offsets that events' GOTO commands queued while the script was busy; IDLE takes the
// oldest. Holds at most 100: later offsets are dropped until one is taken.
class GotoQueue {
  public:
    static constexpr size_t kCapacity = 100;

    // False (and nothing held) when the queue is full.
    bool Push(uint32_t offset);
    std::optional<uint32_t> Take();
    void Clear();
    size_t size() const { return count_; }

  private:
    std::array<uint32_t, kCapacity> offsets_{};
    size_t count_ = 0;
    size_t read_ = 0;
    size_t write_ = 0;
};

}  // namespace corvane
