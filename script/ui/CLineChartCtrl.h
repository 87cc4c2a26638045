#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <vector>

namespace corvane {

// A strip chart on black: up to 8 lines, each advancing 4 pixels per step from its previous
// to its current position (0 at the bottom, 100 at the top). Drawing goes to an off-screen
// picture that painting copies, so nothing already drawn is lost on a repaint.
class CLineChartCtrl : public QWidget {
    Q_OBJECT
  public:
    struct CLineChartItem {
        QColor colour;
        int lower = 0;
        int upper = 100;
        int position = 0;
        int previous = 0;
    };

    static constexpr int kStep = 4;
    static constexpr int kMaxLines = 8;

    explicit CLineChartCtrl(QWidget* parent = nullptr);

    // Adds a line; the first one lays down the grid. False when all 8 are taken.
    bool Add(const QColor& colour);
    // Sets a line's position, limited to its bounds.
    void SetPos(int line, int position);
    // Scrolls one step and draws every line across the new column.
    void Go();

    const std::vector<CLineChartItem>& items() const { return items_; }
    const QImage& picture() const { return picture_; }
    // The picture row of a position: 0 is the bottom row, 100 the top.
    int RowOf(int position) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void DrawGrid();

    std::vector<CLineChartItem> items_;
    QImage picture_;
    int advances_ = 0;
};

}  // namespace corvane
