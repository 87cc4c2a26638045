#pragma once

#include "platform/MemorySettingsStore.h"
#include "platform/SettingsStore.h"

namespace corvane {

// Reads through to a base store; writes stay in memory and shadow the base from then on. A
// demo run uses it so that nothing it changes reaches the user's settings file.
class OverlaySettingsStore final : public SettingsStore {
  public:
    explicit OverlaySettingsStore(const SettingsStore& base) : base_(base) {}

    std::optional<int32_t> readInteger(const std::string& section,
                                       const std::string& name) const override;
    std::optional<std::string> readString(const std::string& section,
                                          const std::string& name) const override;
    bool writeInteger(const std::string& section, const std::string& name, int32_t value) override;
    bool writeString(const std::string& section, const std::string& name,
                     const std::string& value) override;

  private:
    const SettingsStore& base_;
    MemorySettingsStore overlay_;
};

}  // namespace corvane
