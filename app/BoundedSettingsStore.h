#pragma once

#include "platform/SettingsStore.h"

namespace corvane {

// Puts the 255-byte limit on text options in front of a store: a stored text that does not
// fit into 255 bytes with its terminator reads as missing (the option keeps its default), and
// such a text is not written, so that a value that could never be read back does not replace
// the one on disk (the option keeps the new text in memory for the rest of the run).
//   254 characters -> read and written   255 or more -> neither
class BoundedSettingsStore final : public SettingsStore {
  public:
    static constexpr size_t kMaxText = 254;

    explicit BoundedSettingsStore(SettingsStore& inner) : inner_(inner) {}

    std::optional<int32_t> readInteger(const std::string& section,
                                       const std::string& name) const override;
    std::optional<std::string> readString(const std::string& section,
                                          const std::string& name) const override;
    bool writeInteger(const std::string& section, const std::string& name, int32_t value) override;
    bool writeString(const std::string& section, const std::string& name,
                     const std::string& value) override;

  private:
    SettingsStore& inner_;
};

}  // namespace corvane
