#include "platform/IntegerSetting.h"

#include <utility>

namespace corvane {

IntegerSetting::IntegerSetting(SettingsStore& store, std::string section, std::string name,
                               int32_t defaultValue)
    : store_(store), section_(std::move(section)), name_(std::move(name)), value_(defaultValue) {
    if (auto stored = store_.readInteger(section_, name_)) value_.store(*stored);
}

void IntegerSetting::set(int32_t v) {
    value_.store(v, std::memory_order_relaxed);
    store_.writeInteger(section_, name_, v);
}

}  // namespace corvane
