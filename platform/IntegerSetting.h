#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/SettingsStore.h"

namespace corvane {

// One persistent integer option: loaded when created, saved the moment it is set. Set on the
// user-interface thread; value() may be read from any thread.
class IntegerSetting {
  public:
    IntegerSetting(SettingsStore& store, std::string section, std::string name,
                   int32_t defaultValue);

    int32_t value() const { return value_.load(std::memory_order_relaxed); }
    void set(int32_t v);
    const std::string& name() const { return name_; }

  private:
    SettingsStore& store_;
    std::string section_;
    std::string name_;
    std::atomic<int32_t> value_;
};

}  // namespace corvane
