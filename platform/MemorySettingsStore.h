#pragma once

#include <map>
#include <mutex>
#include <utility>

#include "platform/SettingsStore.h"

namespace corvane {

// A settings store that lives and dies with the process: tests, and runs that must not touch
// the user's settings.
class MemorySettingsStore final : public SettingsStore {
  public:
    std::optional<int32_t> readInteger(const std::string& section,
                                       const std::string& name) const override;
    std::optional<std::string> readString(const std::string& section,
                                          const std::string& name) const override;
    bool writeInteger(const std::string& section, const std::string& name, int32_t value) override;
    bool writeString(const std::string& section, const std::string& name,
                     const std::string& value) override;

  private:
    using Key = std::pair<std::string, std::string>;
    mutable std::mutex mutex_;  // guards both maps
    std::map<Key, int32_t> integers_;
    std::map<Key, std::string> strings_;
};

}  // namespace corvane
