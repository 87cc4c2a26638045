#include "app/health/FaultsModel.h"

#include <algorithm>

namespace corvane {

namespace {

using health::HealthReport;

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

int FaultsModel::severityRank(const HealthReport::Fault& fault) { return fault.severity; }

void FaultsModel::show(const HealthReport& report) {
    std::vector<HealthReport::Fault> rows = report.activeFaults;
    rows.insert(rows.end(), report.pastFaults.begin(), report.pastFaults.end());
    // Same faults in the same order: only the cells change, so the view keeps its selection.
    const bool sameRows =
        rows.size() == rows_.size() &&
        std::equal(rows.begin(), rows.end(), rows_.begin(), [](const auto& a, const auto& b) {
            return a.address == b.address && a.dsa == b.dsa && a.bank == b.bank && a.spn == b.spn &&
                   a.fmi == b.fmi && a.legacy == b.legacy &&
                   (a.clearedAt == 0) == (b.clearedAt == 0);
        });
    if (sameRows) {
        rows_ = std::move(rows);
        if (!rows_.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int FaultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FaultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FaultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const HealthReport::Fault& f = rows_[static_cast<size_t>(index.row())];
    const bool active = f.clearedAt == 0;
    if (role == kSortRole) {
        switch (index.column()) {
            case State:
                return active ? 1 : 0;
            case Severity:
                return severityRank(f);
            case Device:
                return f.address * 256 + f.dsa;
            case Fault:
                return f.spn * 32 + f.fmi;
            case Seen:
                return f.seen;
            case FirstSeen:
                return static_cast<qlonglong>(f.firstSeen);
            case LastSeen:
                return static_cast<qlonglong>(f.lastSeen);
            case Cleared:
                return static_cast<qlonglong>(f.clearedAt);
            default:
                return {};
        }
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case State:
            return active ? "Active" : "Past";
        case Severity:
            return text(f.lamps.empty() ? "-" : f.lamps);
        case Device:
            return text(f.device);
        case Fault:
            return text(f.text);
        case Seen:
            return f.seen;
        case FirstSeen:
            return text(timeText_(f.firstSeen));
        case LastSeen:
            return text(timeText_(f.lastSeen));
        case Cleared:
            return active ? QString() : text(timeText_(f.clearedAt));
        default:
            return {};
    }
}

QVariant FaultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeaders[] = {"State", "Severity",   "Device",    "Fault",
                                           "Seen",  "First Seen", "Last Seen", "Cleared"};
    return section >= 0 && section < ColumnCount ? kHeaders[section] : QVariant();
}

}  // namespace corvane
