#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

// Where persistent options live. The application backs it with an INI file; tests use
// MemorySettingsStore. Every write is meant to reach storage at once.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    virtual std::optional<int32_t> readInteger(const std::string& section,
                                               const std::string& name) const = 0;
    virtual std::optional<std::string> readString(const std::string& section,
                                                  const std::string& name) const = 0;
    // False when the value could not be stored; the caller keeps its value in memory.
    virtual bool writeInteger(const std::string& section, const std::string& name,
                              int32_t value) = 0;
    virtual bool writeString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
};

}  // namespace corvane
