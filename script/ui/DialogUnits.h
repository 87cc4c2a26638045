#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QWidget>

namespace corvane {

// Dialog units to pixels for a window's font: a quarter of the average character width across,
// an eighth of the character height down. The windows are laid out in these units.
class DialogUnits {
  public:
    explicit DialogUnits(const QWidget& window) {
        const QFontMetrics metrics(window.font());
        const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        x_ = metrics.horizontalAdvance(alphabet) / 52.0 / 4.0;
        y_ = metrics.height() / 8.0;
    }

    int X(int units) const { return static_cast<int>(units * x_ + 0.5); }
    int Y(int units) const { return static_cast<int>(units * y_ + 0.5); }
    QRect Rect(int x, int y, int width, int height) const {
        return {X(x), Y(y), X(width), Y(height)};
    }
    void Place(QWidget* control, int x, int y, int width, int height) const {
        control->setGeometry(Rect(x, y, width, height));
    }

  private:
    double x_ = 1.5;
    double y_ = 1.625;
};

}  // namespace corvane
