#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <cstdint>

namespace corvane {

class RVCManager;

// The 16 x 16 grid of the network status window, one cell per source address in address
// order: an address that has talked lately is filled with its colour, the others white; the
// selected address carries a marker square. A one-pixel seam stays between the cells.
// User-interface thread only; the manager (null: no network) is only read.
class StatusGridCtrl final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kCells = 16;

    explicit StatusGridCtrl(const RVCManager* manager, QWidget* parent = nullptr);

    uint8_t selected() const { return selected_; }
    void setSelected(uint8_t address);

    // Each side rounded up to the next multiple of 16; one that already is grows by 16.
    //   (250, 241) -> (256, 256)   (256, 256) -> (272, 272)
    static QSize roundedUp(QSize size);
    // The painted part of an address's cell in a grid of `size`.
    //   (0, 256x256) -> (0, 0, 15x15)   (249, 256x256) -> (144, 240, 15x15)
    static QRect cellRect(uint8_t address, QSize size);
    // The marker inside a cell: inset by a third of the cell width and height on each side.
    static QRect markerRect(uint8_t address, QSize size);
    // The address under a point of a grid of `size`.
    static uint8_t addressAt(QPoint point, QSize size);

    // The colour of the seams, which no cell covers.
    static constexpr QRgb kSeam = 0xFFC0C0C0;

  Q_SIGNALS:
    // A click chose an address (possibly the same one again).
    void selectionChanged(uint8_t address);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    const RVCManager* manager_;
    uint8_t selected_;
};

}  // namespace corvane
