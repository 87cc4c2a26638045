#pragma once

#include <QStyledItemDelegate>

namespace corvane {

// Draws a list line with one tab stop: the text after the first TAB starts at `stop` pixels.
class TabStopDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    TabStopDelegate(int stop, QObject* parent) : QStyledItemDelegate(parent), stop_(stop) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    int stop_;
};

}  // namespace corvane
