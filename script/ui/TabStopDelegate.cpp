#include "script/ui/TabStopDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace corvane {

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    const qsizetype tab = text.indexOf('\t');
    if (tab < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem blank = option;
    initStyleOption(&blank, index);
    blank.text.clear();
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &blank, painter, option.widget);
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect r = option.rect.adjusted(2, 0, 0, 0);
    painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, text.left(tab));
    painter->drawText(r.adjusted(stop_, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      text.mid(tab + 1));
    painter->restore();
}

}  // namespace corvane
