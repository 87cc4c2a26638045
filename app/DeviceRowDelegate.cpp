#include "app/DeviceRowDelegate.h"

#include <QPainter>

#include "app/AddressColour.h"
#include "app/DeviceListBox.h"
#include "app/DeviceRowLayout.h"
#include "core/DiagnosticStatus.h"
#include "core/Vocabulary.h"

namespace corvane {

namespace {

QRect toQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QColor toQColor(Rgb c) { return QColor(c.red, c.green, c.blue); }

const QColor kSelectedBackground(191, 191, 191);

}  // namespace

DeviceRowDelegate::DeviceRowDelegate(DeviceListBox& list)
    : QStyledItemDelegate(&list), list_(list) {}

void DeviceRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (index.row() < 0 || index.row() >= list_.rows().count()) return;
    const RVCDevice& device = list_.rows().at(index.row());
    const QRect row = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const DeviceRowLayout cells = DeviceRowLayout::of(
        {row.left(), row.top(), row.left() + row.width(), row.top() + row.height()});

    painter->save();
    painter->fillRect(row, selected ? kSelectedBackground : Qt::white);

    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(toQColor(AddressColour(device.sa)));
    painter->drawEllipse(toQRect(cells.circle));

    const StateFill fill = stateFillOf(device.status);
    if (fill != StateFill::Background)
        painter->fillRect(toQRect(cells.state), fill == StateFill::Red ? Qt::red : Qt::yellow);

    painter->setPen(Qt::black);
    painter->drawText(toQRect(cells.dsa), Qt::AlignLeft | Qt::AlignTop,
                      QString::number(device.dsa));
    // Centred across the cell, at the top like the other texts.
    const auto centred = Qt::AlignHCenter | Qt::AlignTop;
    painter->drawText(toQRect(cells.power), centred, onOffText(device.status));
    painter->drawText(toQRect(cells.state), centred, activityText(device.status));
    painter->drawText(toQRect(cells.name), Qt::AlignLeft | Qt::AlignTop,
                      QString::fromStdString(DeviceTypeName(device.dsa)));

    if (selected) {
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(row.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize DeviceRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), kRowHeight};
}

}  // namespace corvane
