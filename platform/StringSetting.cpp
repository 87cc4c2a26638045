#include "platform/StringSetting.h"

#include <utility>

namespace corvane {

StringSetting::StringSetting(SettingsStore& store, std::string section, std::string name,
                             std::string defaultValue)
    : store_(store),
      section_(std::move(section)),
      name_(std::move(name)),
      value_(std::move(defaultValue)) {
    if (auto stored = store_.readString(section_, name_)) value_ = std::move(*stored);
}

std::string StringSetting::value() const {
    std::lock_guard lock(mutex_);
    return value_;
}

void StringSetting::set(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        value_ = text;
    }
    store_.writeString(section_, name_, text);
}

}  // namespace corvane
