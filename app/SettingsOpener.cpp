#include "app/SettingsOpener.h"

#include <QFile>
#include <QFileInfo>

#include "app/QSettingsStore.h"
#include "app/SettingsFileCheck.h"
#include "platform/MemorySettingsStore.h"

namespace corvane {

namespace {

constexpr int kMaxSetAsideNames = 100;

bool fileIsUsable(const QString& path) {
    if (!QFile::exists(path)) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = file.readAll();
    return SettingsFileCheck::isWellFormed(std::string_view(text.constData(), text.size()));
}

// The first free name of "<path>.bad", "<path>.bad.2", ...; empty when none could be used.
QString setAside(const QString& path) {
    for (int n = 1; n <= kMaxSetAsideNames; ++n) {
        const QString target = path + ".bad" + (n == 1 ? QString() : "." + QString::number(n));
        if (QFile::exists(target)) continue;
        return QFile::rename(path, target) ? target : QString();
    }
    return {};
}

}  // namespace

SettingsOpener::Result SettingsOpener::open() {
    Result result;
    auto store = std::make_unique<QSettingsStore>();
    const QString path = store->fileName();
    result.folder = QFileInfo(path).absolutePath().toStdString();
    if (fileIsUsable(path)) {
        result.store = std::move(store);
        return result;
    }
    // Nothing was written through this store, so dropping it leaves the file as it is.
    store.reset();
    const QString moved = setAside(path);
    if (moved.isEmpty()) {
        result.store = std::make_unique<MemorySettingsStore>();
        result.inMemoryOnly = true;
        return result;
    }
    result.setAsideAs = moved.toStdString();
    result.store = std::make_unique<QSettingsStore>();
    return result;
}

}  // namespace corvane
