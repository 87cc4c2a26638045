#pragma once

#include <QListWidget>
#include <optional>
#include <vector>

#include "app/DeviceRows.h"
#include "core/RVCDevice.h"

namespace corvane {

// The device list of the main window: owner-drawn rows of 20 pixels, ordered by DSA. The rows
// are copies taken at the last rebuild (DeviceRows); nothing here refers into the device table.
class DeviceListBox final : public QListWidget {
    Q_OBJECT
  public:
    explicit DeviceListBox(QWidget* parent = nullptr);

    // Refills the rows and selects again the device that was selected, by the (DSA, source
    // address) rule of DeviceRows. Emits no selection signal; the caller shows the details.
    void rebuild(const std::vector<RVCDevice>& devices, bool showPhantoms);
    // Repaints the rows whose device's status changed; returns their (sa, dsa) keys so that the
    // caller can clear the table's flags.
    std::vector<DeviceRows::Key> refreshStatus(const std::vector<RVCDevice>& devices);

    // The selected row's device, as of the last rebuild.
    std::optional<RVCDevice> selectedDevice() const;
    DeviceRows::Key selectedKey() const;
    void selectRow(int row);
    const DeviceRows& rows() const { return rows_; }
    int rebuildCount() const { return rebuildCount_; }
    // Written across the list while it has no row, to say why ("Not connected").
    void setEmptyText(const QString& text);
    QString emptyText() const { return emptyText_; }

  Q_SIGNALS:
    void deviceSelectionChanged();
    void deviceDoubleClicked();
    void contextMenuWanted(const QPoint& globalPosition);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    static void describe(QListWidgetItem& item, const RVCDevice& device);

    DeviceRows rows_;
    int rebuildCount_ = 0;
    QString emptyText_;
};

}  // namespace corvane
