#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/traffic/RowNames.h"
#include "app/traffic/TrafficLog.h"
#include "app/traffic/ValueTable.h"
#include "decode/DecodedMessage.h"
#include "decode/MessageCollector.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

namespace corvane {

namespace decode {
class Catalogue;
}
class DeviceTable;
class MessagesModel;
class RVCManager;
class SettingsStore;
class ValuesModel;

// "Traffic": the network's messages decoded, as a scrolling list (Messages) and as one row of
// latest values per source, DGN and instance (Values). Modeless, without a parent, at most one
// at a time: open() brings an open window forward.
//
// Threads: while the window is open it is the manager's message tap; the dispatching thread
// only copies each message into the collector's bounded queue. Decoding runs here, on the
// user-interface thread, every kTickMs for at most kSliceMs, so a full bus cannot hold up
// intake and the window keeps its rhythm.
class TrafficDlg final : public QDialog {
    Q_OBJECT
  public:
    struct Services {
        RVCManager* manager = nullptr;
        const DeviceTable* table = nullptr;
        SettingsStore* settings = nullptr;
        // What the messages are decoded against; null: the built-in catalogue. It outlives
        // the window.
        const decode::Catalogue* catalogue = nullptr;
    };
    static constexpr int kTickMs = 50;
    // The most a tick spends decoding, so that the window answers at once whatever the load.
    static constexpr int kSliceMs = 10;
    // A filter applies this long after the last keystroke (or at once on Enter): each pass
    // goes over up to 100,000 rows, so not at every letter.
    static constexpr int kFilterDelayMs = 150;

    static TrafficDlg* open(const Services& services);
    static TrafficDlg* instance() { return instance_; }
    ~TrafficDlg() override;

    // Takes in what the collector holds; the timer calls it.
    void tick();
    // Writes the shown messages as a candump log; false (with a message box) on failure.
    bool exportTo(const std::string& path);
    // The "Watch for changes" button, pressed.
    void toggleWatch();

    QTabWidget* tabs() const { return tabs_; }
    QTableView* messagesView() const { return messagesView_; }
    QTableView* valuesView() const { return valuesView_; }
    MessagesModel* messages() const { return messagesModel_; }
    ValuesModel* values() const { return valuesModel_; }
    const ValueTable& valueTable() const { return valueTable_; }
    const TrafficLog& log() const { return log_; }
    QLineEdit* sourceFilter() const { return sourceFilter_; }
    QLineEdit* messageFilter() const { return messageFilter_; }
    QLineEdit* textFilter() const { return textFilter_; }
    // True while a change to a filter box waits to be applied.
    bool filterPending() const { return filterTimer_.isActive(); }
    QPushButton* pauseButton() const { return pause_; }
    QPushButton* watchButton() const { return watch_; }
    QPushButton* showAllButton() const { return showAll_; }
    RowNames& names() { return names_; }

  private:
    explicit TrafficDlg(const Services& services);
    QWidget* buildMessagesTab();
    QWidget* buildValuesTab();
    void applyFilter();
    void chooseExport();
    void refreshSources();
    void updateStatus();

    static TrafficDlg* instance_;

    Services services_;
    RowNames names_;
    TrafficLog log_;
    ValueTable valueTable_;
    decode::MessageCollector collector_;
    std::vector<decode::MessageCollector::Entry> entries_;
    std::deque<decode::MessageCollector::Entry> backlog_;  // taken, not yet decoded
    decode::DecodedMessage decoded_;
    std::array<std::string, 256> sourceNames_;
    int ticksSinceSources_ = 0;

    QTabWidget* tabs_ = nullptr;
    QTableView* messagesView_ = nullptr;
    QTableView* valuesView_ = nullptr;
    MessagesModel* messagesModel_ = nullptr;
    ValuesModel* valuesModel_ = nullptr;
    QLineEdit* sourceFilter_ = nullptr;
    QLineEdit* messageFilter_ = nullptr;
    QLineEdit* textFilter_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* watch_ = nullptr;
    QPushButton* showAll_ = nullptr;
    QLabel* messagesStatus_ = nullptr;
    QLabel* valuesStatus_ = nullptr;
    QTimer tickTimer_;
    QTimer filterTimer_;
};

}  // namespace corvane
