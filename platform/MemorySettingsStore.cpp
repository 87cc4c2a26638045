#include "platform/MemorySettingsStore.h"

namespace corvane {

std::optional<int32_t> MemorySettingsStore::readInteger(const std::string& section,
                                                        const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = integers_.find({section, name});
    if (it == integers_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> MemorySettingsStore::readString(const std::string& section,
                                                           const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = strings_.find({section, name});
    if (it == strings_.end()) return std::nullopt;
    return it->second;
}

bool MemorySettingsStore::writeInteger(const std::string& section, const std::string& name,
                                       int32_t value) {
    std::lock_guard lock(mutex_);
    integers_[{section, name}] = value;
    return true;
}

bool MemorySettingsStore::writeString(const std::string& section, const std::string& name,
                                      const std::string& value) {
    std::lock_guard lock(mutex_);
    strings_[{section, name}] = value;
    return true;
}

}  // namespace corvane
