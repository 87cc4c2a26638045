#pragma once

#include <mutex>
#include <string>

#include "platform/SettingsStore.h"

namespace corvane {

// One persistent text option: loaded when created, saved the moment it is set.
class StringSetting {
  public:
    StringSetting(SettingsStore& store, std::string section, std::string name,
                  std::string defaultValue);

    std::string value() const;
    void set(const std::string& text);
    const std::string& name() const { return name_; }

  private:
    SettingsStore& store_;
    std::string section_;
    std::string name_;
    mutable std::mutex mutex_;  // guards value_
    std::string value_;
};

}  // namespace corvane
