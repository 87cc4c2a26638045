#include "platform/OverlaySettingsStore.h"

namespace corvane {

std::optional<int32_t> OverlaySettingsStore::readInteger(const std::string& section,
                                                         const std::string& name) const {
    if (auto v = overlay_.readInteger(section, name)) return v;
    return base_.readInteger(section, name);
}

std::optional<std::string> OverlaySettingsStore::readString(const std::string& section,
                                                            const std::string& name) const {
    if (auto v = overlay_.readString(section, name)) return v;
    return base_.readString(section, name);
}

bool OverlaySettingsStore::writeInteger(const std::string& section, const std::string& name,
                                        int32_t value) {
    return overlay_.writeInteger(section, name, value);
}

bool OverlaySettingsStore::writeString(const std::string& section, const std::string& name,
                                       const std::string& value) {
    return overlay_.writeString(section, name, value);
}

}  // namespace corvane
