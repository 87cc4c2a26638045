#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "health/HealthReport.h"

namespace corvane {

// The "Faults" window's table: every active and past fault of the coach, one row each. Each
// cell gives under kSortRole what its column sorts by: the device by address then DSA, the
// severity by lamp (red, then yellow or amber, then none), the times by time. Used on the
// user-interface thread.
class FaultsModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { State, Severity, Device, Fault, Seen, FirstSeen, LastSeen, Cleared, ColumnCount };
    static constexpr int kSortRole = Qt::UserRole + 1;

    // `timeText` writes the times.
    explicit FaultsModel(std::function<std::string(int64_t)> timeText, QObject* parent = nullptr)
        : QAbstractTableModel(parent), timeText_(std::move(timeText)) {}

    // The report's faults, active ones first.
    void show(const health::HealthReport& report);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // 3 for a red lamp, 2 for yellow (amber), 1 for a protect or malfunction lamp, 0 for none.
    static int severityRank(const health::HealthReport::Fault& fault);

  private:
    std::function<std::string(int64_t)> timeText_;
    std::vector<health::HealthReport::Fault> rows_;
};

}  // namespace corvane
