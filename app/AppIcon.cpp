#include "app/AppIcon.h"

#include <QPainter>

#include "app/AddressColour.h"

namespace corvane {

namespace {

constexpr int kSegments = 8;
constexpr int kFullCircle = 360 * 16;  // QPainter angles are sixteenths of a degree

}  // namespace

QPixmap AppIcon::pixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF ring(size * 0.05, size * 0.05, size * 0.9, size * 0.9);
    for (int i = 0; i < kSegments; ++i) {
        const Rgb c = AddressColour(static_cast<uint8_t>(i * 29 + 3));
        p.setPen(QPen(QColor(c.red, c.green, c.blue), size * 0.1));
        p.drawArc(ring, i * kFullCircle / kSegments, kFullCircle / kSegments);
    }
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(size / 2);
    p.setFont(font);
    p.setPen(QColor(30, 60, 110));
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, "C");
    return pixmap;
}

QIcon AppIcon::icon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(pixmap(size));
    return icon;
}

}  // namespace corvane
