#include "app/DeviceRowDelegate.h"

#include <QPainter>
#include <algorithm>

#include "app/AddressColour.h"
#include "app/DeviceListBox.h"
#include "app/DeviceRowLayout.h"

namespace corvane {

namespace {

QRect toQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QColor toQColor(Rgb c) { return QColor(c.red, c.green, c.blue); }

const QColor kSelectedBackground(191, 191, 191);
const QColor kMarkerOutline(96, 96, 96);

// The address as a tag, a square with rounded corners in the address colour holding the
// address in hex: a shape and a number that no lamp has, so a red address never reads as a
// red lamp. The outline keeps the tool's white tag visible on a white row.
void drawAddressMarker(QPainter& painter, const QRect& box, const std::string& address,
                       uint8_t sa) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(kMarkerOutline);
    painter.setBrush(toQColor(AddressColour(sa)));
    const QRect tag = box.adjusted(1, 1, -1, -1);
    painter.drawRoundedRect(tag, 3, 3);
    QFont small = painter.font();
    small.setPixelSize(std::max(6, tag.height() * 11 / 20));
    painter.setFont(small);
    painter.setPen(toQColor(AddressTextColour(sa)));
    painter.drawText(tag, Qt::AlignCenter, QString::fromStdString(address));
    painter.restore();
}

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

    const DeviceRowTexts texts = rowTextsOf(device);
    drawAddressMarker(*painter, toQRect(cells.marker), texts.address, device.sa);

    const StateFill fill = stateFillOf(device.status);
    if (fill != StateFill::Background)
        painter->fillRect(toQRect(cells.state), fill == StateFill::Red ? Qt::red : Qt::yellow);

    painter->setPen(Qt::black);
    painter->drawText(toQRect(cells.dsa), Qt::AlignLeft | Qt::AlignTop,
                      QString::fromStdString(texts.dsa));
    // Centred across the cell, at the top like the other texts.
    const auto centred = Qt::AlignHCenter | Qt::AlignTop;
    painter->drawText(toQRect(cells.power), centred, QString::fromStdString(texts.power));
    painter->drawText(toQRect(cells.state), centred, QString::fromStdString(texts.state));
    painter->drawText(toQRect(cells.name), Qt::AlignLeft | Qt::AlignTop,
                      QString::fromStdString(texts.name));

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
