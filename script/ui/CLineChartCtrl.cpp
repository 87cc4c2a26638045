#include "script/ui/CLineChartCtrl.h"

#include <QPainter>
#include <algorithm>

namespace corvane {

namespace {

const QColor kGrid(0, 128, 0);
constexpr int kGridRows = 10;  // pixels between horizontal grid lines
constexpr int kGridColumns = 2 * CLineChartCtrl::kStep;

}  // namespace

CLineChartCtrl::CLineChartCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

bool CLineChartCtrl::Add(const QColor& colour) {
    if (static_cast<int>(items_.size()) >= kMaxLines) return false;
    items_.push_back({colour});
    if (items_.size() == 1) {
        picture_ = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
        DrawGrid();
    }
    update();
    return true;
}

void CLineChartCtrl::DrawGrid() {
    picture_.fill(Qt::black);
    QPainter painter(&picture_);
    painter.setPen(kGrid);
    for (int y = picture_.height() - 1; y >= 0; y -= kGridRows) {
        painter.drawLine(0, y, picture_.width() - 1, y);
    }
    for (int x = picture_.width() - 3; x >= 0; x -= kGridColumns) {
        painter.drawLine(x, 0, x, picture_.height() - 1);
    }
}

int CLineChartCtrl::RowOf(int position) const {
    const int bottom = picture_.height() - 1;
    return bottom - position * bottom / 100;
}

void CLineChartCtrl::SetPos(int line, int position) {
    if (line < 0 || line >= static_cast<int>(items_.size())) return;
    CLineChartItem& item = items_[static_cast<size_t>(line)];
    item.previous = item.position;
    item.position = std::clamp(position, item.lower, item.upper);
}

void CLineChartCtrl::Go() {
    if (picture_.isNull()) return;
    const int w = picture_.width();
    const int h = picture_.height();
    QImage moved(w, h, QImage::Format_RGB32);
    moved.fill(Qt::black);
    QPainter painter(&moved);
    painter.drawImage(-kStep, 0, picture_);
    painter.setPen(kGrid);
    for (int y = h - 1; y >= 0; y -= kGridRows) painter.drawLine(w - kStep, y, w - 1, y);
    if (++advances_ % 2 == 0) painter.drawLine(w - 3, 0, w - 3, h - 1);
    // Each segment starts on the last column of the old picture, so the lines stay joined.
    for (const CLineChartItem& item : items_) {
        painter.setPen(item.colour);
        painter.drawLine(w - kStep - 1, RowOf(item.previous), w - 1, RowOf(item.position));
    }
    painter.end();
    picture_ = moved;
    update();
}

void CLineChartCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) painter.drawImage(0, 0, picture_);
}

}  // namespace corvane
