#include "app/traffic/ValuesModel.h"

#include "app/traffic/MessagesModel.h"

namespace corvane {

int ValuesModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(showingAll_ ? shownAll_ : only_.size());
}

int ValuesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

size_t ValuesModel::tableRow(int row) const {
    return showingAll_ ? static_cast<size_t>(row) : only_[static_cast<size_t>(row)];
}

QVariant ValuesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const ValueTable::Row& row = table_.row(tableRow(index.row()));
    if (role == kSegmentsRole && index.column() == Fields) {
        const int64_t now = now_();
        QVariantList segments;
        for (const ValueTable::Field& f : row.fields) {
            if (f.text.empty()) continue;  // gone from the message
            const bool lit = ValueTable::recentlyChanged(f, now) || (!showingAll_ && f.watched);
            segments.append(
                QVariant(QVariantList{QString::fromStdString(f.name + "=" + f.text), lit}));
        }
        return segments;
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    switch (index.column()) {
        case Source:
            return MessagesModel::sourceText(row.key.source, row.sourceName);
        case Dgn: {
            return QString::number(row.key.dgn, 16).toUpper();
        }
        case Message:
            return QString::fromStdString(row.name);
        case Instance:
            return row.key.instance < 0 ? QVariant() : QVariant(row.key.instance);
        case GivenName:
            return QString::fromStdString(names_.nameOf(row.key));
        case Fields: {
            QStringList parts;
            for (const ValueTable::Field& f : row.fields)
                if (!f.text.empty()) parts << QString::fromStdString(f.name + "=" + f.text);
            return parts.join(' ');
        }
        case Count:
            return QVariant::fromValue<qulonglong>(row.count);
        default:
            return {};
    }
}

QVariant ValuesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    static const char* const kTitles[] = {"Source", "DGN",   "Message", "Instance",
                                          "Name",   "Count", "Fields"};
    return section >= 0 && section < ColumnCount ? QString(kTitles[section]) : QVariant();
}

Qt::ItemFlags ValuesModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == GivenName) f |= Qt::ItemIsEditable;
    return f;
}

bool ValuesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != GivenName || index.row() >= rowCount())
        return false;
    names_.setName(table_.row(tableRow(index.row())).key, value.toString().trimmed().toStdString());
    Q_EMIT dataChanged(index, index);
    Q_EMIT nameGiven();
    return true;
}

void ValuesModel::tableUpdated() {
    if (showingAll_ && table_.size() > shownAll_) {
        beginInsertRows({}, static_cast<int>(shownAll_), static_cast<int>(table_.size()) - 1);
        shownAll_ = table_.size();
        endInsertRows();
    }
    if (rowCount() > 0) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void ValuesModel::showOnly(std::vector<size_t> rows) {
    beginResetModel();
    showingAll_ = false;
    only_ = std::move(rows);
    endResetModel();
}

void ValuesModel::showAll() {
    beginResetModel();
    showingAll_ = true;
    only_.clear();
    shownAll_ = table_.size();
    endResetModel();
}

}  // namespace corvane
