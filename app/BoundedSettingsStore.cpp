#include "app/BoundedSettingsStore.h"

namespace corvane {

std::optional<int32_t> BoundedSettingsStore::readInteger(const std::string& section,
                                                         const std::string& name) const {
    return inner_.readInteger(section, name);
}

std::optional<std::string> BoundedSettingsStore::readString(const std::string& section,
                                                            const std::string& name) const {
    auto text = inner_.readString(section, name);
    if (text && text->size() > kMaxText) return std::nullopt;
    return text;
}

bool BoundedSettingsStore::writeInteger(const std::string& section, const std::string& name,
                                        int32_t value) {
    return inner_.writeInteger(section, name, value);
}

bool BoundedSettingsStore::writeString(const std::string& section, const std::string& name,
                                       const std::string& value) {
    if (value.size() > kMaxText) return false;
    return inner_.writeString(section, name, value);
}

}  // namespace corvane
