#pragma once

#include <QStyledItemDelegate>

namespace corvane {

// Draws a values row's fields one after another, a highlighted field on a yellow ground, from
// the model's segments role (a list of [text, highlighted] pairs).
class FieldsDelegate final : public QStyledItemDelegate {
    Q_OBJECT
  public:
    FieldsDelegate(int segmentsRole, QObject* parent)
        : QStyledItemDelegate(parent), segmentsRole_(segmentsRole) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    int segmentsRole_;
};

}  // namespace corvane
