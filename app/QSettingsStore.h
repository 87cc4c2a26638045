#pragma once

#include <QSettings>
#include <memory>
#include <mutex>

#include "platform/SettingsStore.h"

namespace corvane {

// The settings store of the application: an INI file (organisation "Tindrel Electronics",
// application "Corvane"), in $CORVANE_CONFIG_DIR when that is set. Every write is synced to
// disk at once. Readers on other threads are served under a lock.
class QSettingsStore final : public SettingsStore {
  public:
    QSettingsStore();
    // The file the settings live in.
    QString fileName() const;

    std::optional<int32_t> readInteger(const std::string& section,
                                       const std::string& name) const override;
    std::optional<std::string> readString(const std::string& section,
                                          const std::string& name) const override;
    bool writeInteger(const std::string& section, const std::string& name, int32_t value) override;
    bool writeString(const std::string& section, const std::string& name,
                     const std::string& value) override;

  private:
    mutable std::mutex mutex_;  // guards settings_
    std::unique_ptr<QSettings> settings_;
};

}  // namespace corvane
