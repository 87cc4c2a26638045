#pragma once

#include <QStyledItemDelegate>

namespace corvane {

class DeviceListBox;

// Draws one device row: the address tag (the address in hex on its colour), the DSA, On/Off,
// Active/Inactive with the lit lamps named (on red or yellow while a lamp is on) and the type
// name, grey with a black frame when selected.
class DeviceRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 20;

    explicit DeviceRowDelegate(DeviceListBox& list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    DeviceListBox& list_;
};

}  // namespace corvane
