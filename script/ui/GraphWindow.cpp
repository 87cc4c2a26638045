#include "script/ui/GraphWindow.h"

#include <QCloseEvent>
#include <QPushButton>
#include <algorithm>

#include "script/ui/CLineChartCtrl.h"

namespace corvane {

GraphWindow::GraphWindow(int chartWidth, int chartHeight, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Graph");
    const int width = std::max(1, chartWidth);
    const int height = std::max(1, chartHeight);
    close_ = new QPushButton("Close", this);
    close_->setGeometry(2, 2, width, 16);
    close_->setEnabled(false);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    chart_ = new CLineChartCtrl(this);
    chart_->setObjectName("chart");
    chart_->setGeometry(2, 20, width, height);
    setFixedSize(width + 4, height + 22);
}

void GraphWindow::EnableClose() { close_->setEnabled(true); }

void GraphWindow::closeEvent(QCloseEvent* event) {
    if (close_->isEnabled()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool GraphWindow::closeEnabled() const { return close_->isEnabled(); }

}  // namespace corvane
