#pragma once

#include <QWidget>

class QPushButton;

namespace corvane {

class CLineChartCtrl;

// The window of GRAPHSTART. It outlives the script step that made it: its Close button stays
// disabled until the script window closes or a later GRAPHSTART replaces it.
class GraphWindow : public QWidget {
    Q_OBJECT
  public:
    // A chart `chartWidth` by `chartHeight` pixels below a Close button as wide as the chart.
    GraphWindow(int chartWidth, int chartHeight, QWidget* parent = nullptr);

    void EnableClose();
    bool closeEnabled() const;
    CLineChartCtrl& chart() { return *chart_; }

  protected:
    // Only the Close button closes the graph, and only once it is enabled.
    void closeEvent(QCloseEvent* event) override;

  private:
    QPushButton* close_;
    CLineChartCtrl* chart_;
};

}  // namespace corvane
