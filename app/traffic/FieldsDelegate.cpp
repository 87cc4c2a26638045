#include "app/traffic/FieldsDelegate.h"

#include <QApplication>
#include <QPainter>

namespace corvane {

void FieldsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const QVariant segments = index.data(segmentsRole_);
    if (!segments.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    base.text.clear();
    QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &base, painter);

    painter->save();
    painter->setClipRect(option.rect);
    const QFontMetrics metrics(option.font);
    const int gap = metrics.horizontalAdvance(' ');
    int x = option.rect.left() + gap / 2;
    for (const QVariant& segment : segments.toList()) {
        const QVariantList pair = segment.toList();
        const QString text = pair.value(0).toString();
        const int width = metrics.horizontalAdvance(text);
        const QRect box(x, option.rect.top(), width, option.rect.height());
        if (pair.value(1).toBool()) {
            painter->fillRect(box.adjusted(-1, 1, 1, -1), QColor(255, 230, 120));
            painter->setPen(Qt::black);
        } else {
            painter->setPen(option.palette.color(option.state & QStyle::State_Selected
                                                     ? QPalette::HighlightedText
                                                     : QPalette::Text));
        }
        painter->drawText(box, Qt::AlignVCenter | Qt::AlignLeft, text);
        x += width + gap;
        if (x > option.rect.right()) break;
    }
    painter->restore();
}

}  // namespace corvane
