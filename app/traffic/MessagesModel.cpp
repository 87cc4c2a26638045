#include "app/traffic/MessagesModel.h"

#include <QDateTime>

namespace corvane {

int MessagesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(log_.shownCount());
}

int MessagesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString MessagesModel::sourceText(uint8_t source, const std::string& name) {
    const QString address =
        QStringLiteral("%1").arg(static_cast<unsigned>(source), 2, 16, QChar('0')).toUpper();
    return name.empty() ? address : address + " " + QString::fromStdString(name);
}

QString MessagesModel::timeText(int64_t micros) {
    return QDateTime::fromMSecsSinceEpoch(micros / 1000).toString("hh:mm:ss.zzz");
}

QVariant MessagesModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        static_cast<size_t>(index.row()) >= log_.shownCount())
        return {};
    const TrafficRow& row = log_.shown(static_cast<size_t>(index.row()));
    switch (index.column()) {
        case Time:
            return timeText(row.micros);
        case Source:
            return sourceText(row.key.source, row.sourceName);
        case Dgn:
            return QString::fromStdString(row.dgnText());
        case Message:
            return QString::fromStdString(row.name);
        case Instance:
            return row.key.instance < 0 ? QVariant() : QVariant(row.key.instance);
        case GivenName:
            return QString::fromStdString(names_.nameOf(row.key));
        case Fields:
            return QString::fromStdString(row.fields);
        default:
            return {};
    }
}

QVariant MessagesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    static const char* const kTitles[] = {"Time",     "Source", "DGN",   "Message",
                                          "Instance", "Name",   "Fields"};
    return section >= 0 && section < ColumnCount ? QString(kTitles[section]) : QVariant();
}

void MessagesModel::add(std::vector<TrafficRow>&& rows) {
    if (rows.empty()) return;
    if (log_.paused()) {
        log_.hold(std::move(rows));
        return;
    }
    if (rows.size() > log_.capacity()) {
        rows.erase(rows.begin(), rows.end() - static_cast<std::ptrdiff_t>(log_.capacity()));
    }
    const size_t evicted = log_.evictedBy(rows.size());
    if (evicted > 0) beginRemoveRows({}, 0, static_cast<int>(evicted) - 1);
    log_.makeRoom(rows.size());
    if (evicted > 0) endRemoveRows();

    const size_t added = log_.matching(rows);
    const int first = static_cast<int>(log_.shownCount());
    if (added > 0) beginInsertRows({}, first, first + static_cast<int>(added) - 1);
    log_.append(std::move(rows));
    if (added > 0) endInsertRows();
}

void MessagesModel::setFilter(TrafficFilter filter) {
    beginResetModel();
    log_.setFilter(std::move(filter));
    endResetModel();
}

void MessagesModel::namesChanged() {
    beginResetModel();
    log_.refilter();
    endResetModel();
}

void MessagesModel::setPaused(bool paused) {
    if (paused == log_.paused()) return;
    if (paused) {
        log_.pause();
    } else {
        add(log_.resume());
    }
}

}  // namespace corvane
