#include "app/QSettingsStore.h"

#include <QDir>

namespace corvane {

namespace {

QString keyOf(const std::string& section, const std::string& name) {
    return QString::fromStdString(section) + "/" + QString::fromStdString(name);
}

}  // namespace

QSettingsStore::QSettingsStore() {
    const QByteArray dir = qgetenv("CORVANE_CONFIG_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(dir));
        settings_ = std::make_unique<QSettings>(QString::fromLocal8Bit(dir) + "/Corvane.ini",
                                                QSettings::IniFormat);
    } else {
        settings_ = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                "Tindrel Electronics", "Corvane");
    }
}

QString QSettingsStore::fileName() const {
    std::lock_guard lock(mutex_);
    return settings_->fileName();
}

std::optional<int32_t> QSettingsStore::readInteger(const std::string& section,
                                                   const std::string& name) const {
    std::lock_guard lock(mutex_);
    const QVariant v = settings_->value(keyOf(section, name));
    bool ok = false;
    const int value = v.toInt(&ok);
    if (!v.isValid() || !ok) return std::nullopt;
    return value;
}

std::optional<std::string> QSettingsStore::readString(const std::string& section,
                                                      const std::string& name) const {
    std::lock_guard lock(mutex_);
    const QVariant v = settings_->value(keyOf(section, name));
    if (!v.isValid()) return std::nullopt;
    return v.toString().toStdString();
}

bool QSettingsStore::writeInteger(const std::string& section, const std::string& name,
                                  int32_t value) {
    std::lock_guard lock(mutex_);
    settings_->setValue(keyOf(section, name), value);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

bool QSettingsStore::writeString(const std::string& section, const std::string& name,
                                 const std::string& value) {
    std::lock_guard lock(mutex_);
    settings_->setValue(keyOf(section, name), QString::fromStdString(value));
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

}  // namespace corvane
