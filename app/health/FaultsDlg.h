#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>

class QLabel;
class QSortFilterProxyModel;
class QTableView;

namespace corvane {

class Clock;
class FaultsModel;
namespace health {
class HealthWatch;
}

// "Faults": the coach's active and past faults in words, one row each, sortable by any column
// (device, severity, times). Modeless, without a parent, at most one at a time: open() brings
// an open window forward. It reads the health watch's report, renewed once a second; it never
// touches the bus.
class FaultsDlg final : public QDialog {
    Q_OBJECT
  public:
    struct Services {
        health::HealthWatch* health = nullptr;  // required
        const Clock* clock = nullptr;           // the time zone of the times shown
    };
    static constexpr int kRefreshMs = 1000;

    static FaultsDlg* open(const Services& services);
    static FaultsDlg* instance() { return instance_; }
    ~FaultsDlg() override;

    // Shows the report when the watch has a newer one; the timer calls it.
    void refresh();

    QTableView* view() const { return view_; }
    FaultsModel* model() const { return model_; }
    QSortFilterProxyModel* sorted() const { return sorted_; }
    QLabel* summary() const { return summary_; }

  private:
    explicit FaultsDlg(const Services& services);

    static FaultsDlg* instance_;

    Services services_;
    FaultsModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    QTableView* view_ = nullptr;
    QLabel* summary_ = nullptr;
    QTimer timer_;
    uint64_t shownGeneration_ = 0;
};

}  // namespace corvane
