#include "app/health/FaultsDlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/health/FaultTimes.h"
#include "app/health/FaultsModel.h"
#include "health/HealthWatch.h"

namespace corvane {

FaultsDlg* FaultsDlg::instance_ = nullptr;

FaultsDlg* FaultsDlg::open(const Services& services) {
    if (instance_ == nullptr) {
        instance_ = new FaultsDlg(services);
        instance_->show();
    }
    instance_->raise();
    instance_->activateWindow();
    return instance_;
}

FaultsDlg::FaultsDlg(const Services& services) : services_(services) {
    setWindowTitle("Faults");
    setObjectName("faults");
    resize(1280, 360);

    model_ = new FaultsModel(faultTimeText(services.clock), this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(FaultsModel::kSortRole);
    view_ = new QTableView;
    view_->setObjectName("faultList");
    view_->setModel(sorted_);
    view_->setSortingEnabled(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    // Every column as wide as its texts; the fault in words takes the rest.
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view_->horizontalHeader()->setSectionResizeMode(FaultsModel::Fault, QHeaderView::Stretch);
    // Most recent first until the user sorts otherwise.
    view_->sortByColumn(FaultsModel::LastSeen, Qt::DescendingOrder);
    summary_ = new QLabel;
    summary_->setObjectName("faultSummary");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(view_, 1);

    connect(&timer_, &QTimer::timeout, this, &FaultsDlg::refresh);
    timer_.start(kRefreshMs);
    connect(this, &QDialog::finished, this, [this] {
        if (instance_ == this) instance_ = nullptr;
        deleteLater();
    });
    refresh();
}

FaultsDlg::~FaultsDlg() {
    if (instance_ == this) instance_ = nullptr;
}

void FaultsDlg::refresh() {
    if (services_.health == nullptr || services_.health->generation() == shownGeneration_) return;
    shownGeneration_ = services_.health->generation();
    const health::HealthReport& report = services_.health->report();
    model_->show(report);
    const size_t active = report.activeFaults.size();
    const size_t past = report.pastFaults.size();
    summary_->setText(active + past == 0 ? QString("No fault reported since the tool started.")
                                         : QString("%1 active, %2 past").arg(active).arg(past));
}

}  // namespace corvane
