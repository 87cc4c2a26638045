#include "app/StatusGridCtrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/AddressColour.h"
#include "core/Dgn.h"
#include "core/RVCManager.h"

namespace corvane {

namespace {

QColor toQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

}  // namespace

StatusGridCtrl::StatusGridCtrl(const RVCManager* manager, QWidget* parent)
    : QWidget(parent), manager_(manager), selected_(kToolAddress) {
    // Every pixel is painted on each pass, so Qt need not clear first: no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StatusGridCtrl::setSelected(uint8_t address) {
    selected_ = address;
    update();
}

QSize StatusGridCtrl::roundedUp(QSize size) {
    return {(size.width() / kCells + 1) * kCells, (size.height() / kCells + 1) * kCells};
}

QRect StatusGridCtrl::cellRect(uint8_t address, QSize size) {
    const int w = size.width() / kCells;
    const int h = size.height() / kCells;
    return {(address % kCells) * w, (address / kCells) * h, w - 1, h - 1};
}

QRect StatusGridCtrl::markerRect(uint8_t address, QSize size) {
    const int dx = size.width() / kCells / 3;
    const int dy = size.height() / kCells / 3;
    const QRect cell = cellRect(address, size);
    return {cell.x() + dx, cell.y() + dy, cell.width() - 2 * dx, cell.height() - 2 * dy};
}

uint8_t StatusGridCtrl::addressAt(QPoint point, QSize size) {
    if (size.width() <= 0 || size.height() <= 0) return 0;
    const int row = point.y() * kCells / size.height();
    const int column = point.x() * kCells / size.width();
    return static_cast<uint8_t>(row * kCells + column);
}

void StatusGridCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(kSeam));
    for (int a = 0; a < 256; ++a) {
        const auto address = static_cast<uint8_t>(a);
        const bool active = manager_ != nullptr && manager_->addressStats(address).active != 0;
        QColor fill = Qt::white;
        QColor marker = Qt::black;
        if (active) {
            fill = toQColor(AddressColour(address));
            marker = address == kToolAddress ? Qt::black : Qt::white;
        }
        painter.fillRect(cellRect(address, size()), fill);
        if (address == selected_) painter.fillRect(markerRect(address, size()), marker);
    }
}

void StatusGridCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    selected_ = addressAt(event->position().toPoint(), size());
    update();
    Q_EMIT selectionChanged(selected_);
}

}  // namespace corvane
