#pragma once

#include <QDialog>
#include <QSize>
#include <string>
#include <vector>

#include "app/ControlAnchor.h"
#include "platform/SettingsStore.h"

class QSizeGrip;

namespace corvane {

// The base of the resizable dialogs. Controls are placed in dialog units (a quarter of the
// average character width across, an eighth of the character height down) and follow the
// dialog's size by their anchors. The dialog cannot be made smaller than its designed size
// and keeps its size between runs as "CX" and "CY" in its own settings section (the dialog's
// resource number in hexadecimal); a stored size is used only when both values are non-zero.
class CResizingDialog : public QDialog {
    Q_OBJECT
  public:
    CResizingDialog(SettingsStore& store, std::string sizeSection, QSize designedUnits,
                    QWidget* parent = nullptr);

    // Places `control` at `units` (dialog units) and lets it follow the size by `anchors`.
    void addControl(QWidget* control, QRect units, unsigned anchors);
    // Room kept free above the controls (for a menu bar), in pixels.
    void setTopInset(int pixels);
    // The designed size in pixels, the smallest the dialog may be.
    QSize designedSize() const;
    // Applies a stored size, if any. Called once the controls are in place.
    void restoreSize();

    QPoint unitsToPixels(QPoint units) const;
    // Stores the size, then closes.
    void done(int result) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Placed {
        QWidget* control;
        PixelRect designed;
        unsigned anchors;
    };
    void layoutControls();
    void storeSize();

    SettingsStore& store_;
    std::string sizeSection_;
    QSize designedUnits_;
    double unitX_ = 1.5;
    double unitY_ = 1.625;
    int topInset_ = 0;
    std::vector<Placed> placed_;
    QSizeGrip* grip_ = nullptr;
};

}  // namespace corvane
