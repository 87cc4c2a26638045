#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "app/traffic/RowNames.h"
#include "app/traffic/TrafficLog.h"

namespace corvane {

// The Messages tab's table over the traffic log's shown rows. Rows only come at the end and
// leave at the front, and the view is told of both, so its scroll position holds.
class MessagesModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Time, Source, Dgn, Message, Instance, GivenName, Fields, ColumnCount };

    MessagesModel(TrafficLog& log, const RowNames& names, QObject* parent = nullptr)
        : QAbstractTableModel(parent), log_(log), names_(names) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // New rows: shown at the end (or held while paused).
    void add(std::vector<TrafficRow>&& rows);
    void setFilter(TrafficFilter filter);
    // A name was given: the name column and what the filter lets through may change.
    void namesChanged();
    void setPaused(bool paused);

    // "42 Inverter" / "42".
    static QString sourceText(uint8_t source, const std::string& name);
    // Microseconds since 1970 -> local "hh:mm:ss.zzz".
    static QString timeText(int64_t micros);

  private:
    TrafficLog& log_;
    const RowNames& names_;
};

}  // namespace corvane
