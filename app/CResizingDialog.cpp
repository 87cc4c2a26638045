#include "app/CResizingDialog.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QSizeGrip>

namespace corvane {

namespace {

constexpr const char* kWidthName = "CX";
constexpr const char* kHeightName = "CY";
constexpr int kGripSize = 16;

}  // namespace

CResizingDialog::CResizingDialog(SettingsStore& store, std::string sizeSection, QSize designedUnits,
                                 QWidget* parent)
    : QDialog(parent),
      store_(store),
      sizeSection_(std::move(sizeSection)),
      designedUnits_(designedUnits) {
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    const QFontMetrics metrics(font());
    const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    unitX_ = metrics.horizontalAdvance(alphabet) / 52.0 / 4.0;
    unitY_ = metrics.height() / 8.0;
    grip_ = new QSizeGrip(this);
    grip_->resize(kGripSize, kGripSize);
    setMinimumSize(designedSize());
    resize(designedSize());
}

QPoint CResizingDialog::unitsToPixels(QPoint units) const {
    return {static_cast<int>(units.x() * unitX_ + 0.5), static_cast<int>(units.y() * unitY_ + 0.5)};
}

QSize CResizingDialog::designedSize() const {
    const QPoint p = unitsToPixels({designedUnits_.width(), designedUnits_.height()});
    return {p.x(), p.y() + topInset_};
}

void CResizingDialog::addControl(QWidget* control, QRect units, unsigned anchors) {
    const QPoint topLeft = unitsToPixels(units.topLeft());
    const QPoint size = unitsToPixels({units.width(), units.height()});
    placed_.push_back({control,
                       {topLeft.x(), topLeft.y(), topLeft.x() + size.x(), topLeft.y() + size.y()},
                       anchors});
    layoutControls();
}

void CResizingDialog::setTopInset(int pixels) {
    topInset_ = pixels;
    setMinimumSize(designedSize());
    layoutControls();
}

void CResizingDialog::restoreSize() {
    const int width = store_.readInteger(sizeSection_, kWidthName).value_or(0);
    const int height = store_.readInteger(sizeSection_, kHeightName).value_or(0);
    if (width != 0 && height != 0) resize(QSize(width, height).expandedTo(designedSize()));
}

void CResizingDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutControls();
}

void CResizingDialog::layoutControls() {
    const QSize designed = designedSize();
    const int dx = width() - designed.width();
    const int dy = height() - designed.height();
    for (const Placed& p : placed_) {
        const PixelRect r = Anchored(p.designed, p.anchors, dx, dy);
        p.control->setGeometry(r.left, r.top + topInset_, r.right - r.left, r.bottom - r.top);
    }
    grip_->move(width() - grip_->width(), height() - grip_->height());
    grip_->raise();
}

void CResizingDialog::done(int result) {
    storeSize();
    QDialog::done(result);
}

void CResizingDialog::storeSize() {
    store_.writeInteger(sizeSection_, kWidthName, width());
    store_.writeInteger(sizeSection_, kHeightName, height());
}

}  // namespace corvane
