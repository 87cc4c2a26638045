#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "app/traffic/RowNames.h"
#include "app/traffic/ValueTable.h"

namespace corvane {

// The Values tab's table: every row of the value table, or after "Watch for changes" only the
// rows that changed during the watch. The name column is edited in place and saved per coach.
// The fields column also gives, under kSegmentsRole, each field with whether to highlight it
// (changed in the last few seconds, or changed during the watch).
class ValuesModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Source, Dgn, Message, Instance, GivenName, Count, Fields, ColumnCount };
    static constexpr int kSegmentsRole = Qt::UserRole + 1;

    ValuesModel(ValueTable& table, RowNames& names, std::function<int64_t()> now,
                QObject* parent = nullptr)
        : QAbstractTableModel(parent), table_(table), names_(names), now_(std::move(now)) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The table took messages: new rows are shown (unless a watch's result is), values redrawn.
    void tableUpdated();
    // Shows only these rows of the table (a watch's result).
    void showOnly(std::vector<size_t> rows);
    void showAll();
    bool showingAll() const { return showingAll_; }
    // The table row shown at `row`.
    size_t tableRow(int row) const;

  Q_SIGNALS:
    void nameGiven();

  private:
    ValueTable& table_;
    RowNames& names_;
    std::function<int64_t()> now_;
    bool showingAll_ = true;
    size_t shownAll_ = 0;       // rows of the table shown while showing all
    std::vector<size_t> only_;  // the rows shown otherwise
};

}  // namespace corvane
