#include "app/traffic/TrafficDlg.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <chrono>

#include "app/traffic/CandumpExport.h"
#include "app/traffic/FieldsDelegate.h"
#include "app/traffic/MessagesModel.h"
#include "app/traffic/ValuesModel.h"
#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "core/Vocabulary.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"

namespace corvane {

namespace {

// Device names are looked up again this often (in ticks): they change only as devices come.
constexpr int kSourceRefreshTicks = 10;

int64_t wallMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

QTableView* tableView(QAbstractItemModel* model, const char* name) {
    auto* view = new QTableView;
    view->setObjectName(name);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Every row the same height: the view never measures 100,000 rows.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setStretchLastSection(false);
    return view;
}

QLineEdit* filterBox(const char* name, const char* hint) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setPlaceholderText(hint);
    box->setClearButtonEnabled(true);
    return box;
}

}  // namespace

TrafficDlg* TrafficDlg::instance_ = nullptr;

TrafficDlg* TrafficDlg::open(const Services& services) {
    if (instance_ == nullptr) instance_ = new TrafficDlg(services);
    instance_->show();
    instance_->raise();
    instance_->activateWindow();
    return instance_;
}

TrafficDlg::TrafficDlg(const Services& services)
    : QDialog(nullptr),
      services_(services),
      names_(*services.settings),
      log_(names_),
      collector_(&wallMicros) {
    setWindowTitle("Traffic");
    tabs_ = new QTabWidget;
    tabs_->addTab(buildMessagesTab(), "Messages");
    tabs_->addTab(buildValuesTab(), "Values");
    auto* close = new QPushButton("Close");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    resize(1100, 600);

    refreshSources();
    if (services_.manager) services_.manager->setMessageTap(&collector_);
    connect(&tickTimer_, &QTimer::timeout, this, &TrafficDlg::tick);
    tickTimer_.start(kTickMs);
    // Closing in any way ends the window for good. The tap is let go at once: the deferred
    // delete may come after the manager is gone.
    connect(this, &QDialog::finished, this, [this] {
        if (services_.manager) services_.manager->setMessageTap(nullptr);
        services_.manager = nullptr;
        tickTimer_.stop();
        if (instance_ == this) instance_ = nullptr;
        deleteLater();
    });
}

TrafficDlg::~TrafficDlg() {
    if (services_.manager) services_.manager->setMessageTap(nullptr);
    if (instance_ == this) instance_ = nullptr;
}

QWidget* TrafficDlg::buildMessagesTab() {
    messagesModel_ = new MessagesModel(log_, names_, this);
    messagesView_ = tableView(messagesModel_, "messagesView");
    messagesView_->setColumnWidth(MessagesModel::Source, 180);
    messagesView_->setColumnWidth(MessagesModel::Message, 190);
    messagesView_->setColumnWidth(MessagesModel::Dgn, 60);
    messagesView_->setColumnWidth(MessagesModel::Instance, 60);
    messagesView_->horizontalHeader()->setStretchLastSection(true);

    sourceFilter_ = filterBox("sourceFilter", "Source: address or device");
    messageFilter_ = filterBox("messageFilter", "DGN or name");
    textFilter_ = filterBox("textFilter", "Any text");
    sourceFilter_->setMinimumWidth(200);
    messageFilter_->setMinimumWidth(200);
    filterTimer_.setSingleShot(true);
    filterTimer_.setInterval(kFilterDelayMs);
    connect(&filterTimer_, &QTimer::timeout, this, &TrafficDlg::applyFilter);
    for (QLineEdit* box : {sourceFilter_, messageFilter_, textFilter_}) {
        connect(box, &QLineEdit::textChanged, this, [this] { filterTimer_.start(); });
        connect(box, &QLineEdit::returnPressed, this, &TrafficDlg::applyFilter);
    }
    pause_ = new QPushButton("Pause");
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, [this](bool on) {
        pause_->setText(on ? "Resume" : "Pause");
        messagesModel_->setPaused(on);
        updateStatus();
    });
    export_ = new QPushButton("Export...");
    connect(export_, &QPushButton::clicked, this, &TrafficDlg::chooseExport);
    messagesStatus_ = new QLabel;

    auto* bar = new QHBoxLayout;
    bar->addWidget(sourceFilter_);
    bar->addWidget(messageFilter_);
    bar->addWidget(textFilter_, 1);
    bar->addWidget(pause_);
    bar->addWidget(export_);
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(bar);
    layout->addWidget(messagesView_, 1);
    layout->addWidget(messagesStatus_);
    return page;
}

QWidget* TrafficDlg::buildValuesTab() {
    valuesModel_ = new ValuesModel(valueTable_, names_, &wallMicros, this);
    valuesView_ = tableView(valuesModel_, "valuesView");
    valuesView_->setItemDelegateForColumn(
        ValuesModel::Fields, new FieldsDelegate(ValuesModel::kSegmentsRole, valuesView_));
    valuesView_->setColumnWidth(ValuesModel::Source, 180);
    valuesView_->setColumnWidth(ValuesModel::Message, 190);
    valuesView_->setColumnWidth(ValuesModel::Dgn, 60);
    valuesView_->setColumnWidth(ValuesModel::Instance, 60);
    valuesView_->setColumnWidth(ValuesModel::Count, 60);
    valuesView_->horizontalHeader()->setStretchLastSection(true);
    valuesView_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed);
    connect(valuesModel_, &ValuesModel::nameGiven, this,
            [this] { messagesModel_->namesChanged(); });

    watch_ = new QPushButton("Watch for Changes");
    watch_->setCheckable(true);
    connect(watch_, &QPushButton::clicked, this, &TrafficDlg::toggleWatch);
    showAll_ = new QPushButton("Show All");
    showAll_->setEnabled(false);
    connect(showAll_, &QPushButton::clicked, this, [this] {
        valuesModel_->showAll();
        showAll_->setEnabled(false);
        updateStatus();
    });
    valuesStatus_ = new QLabel;
    auto* bar = new QHBoxLayout;
    bar->addWidget(watch_);
    bar->addWidget(showAll_);
    bar->addWidget(valuesStatus_, 1);
    auto* hint = new QLabel("Double-click a row's Name to name it; names are kept for this coach.");
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(bar);
    layout->addWidget(valuesView_, 1);
    layout->addWidget(hint);
    return page;
}

void TrafficDlg::refreshSources() {
    if (services_.table == nullptr) return;
    const std::vector<RVCNode> nodes = services_.table->nodes();
    for (auto& name : sourceNames_) name.clear();
    for (const RVCNode& node : nodes) {
        if (sourceNames_[node.address].empty())
            sourceNames_[node.address] = node.make + " " + node.model;
    }
    // A device type says more than a make: it wins.
    std::array<bool, 256> typed{};
    for (const RVCDevice& d : services_.table->devices()) {
        if (typed[d.sa]) continue;
        typed[d.sa] = true;
        sourceNames_[d.sa] = DeviceTypeName(d.dsa);
    }
    if (names_.follow(nodes)) {
        messagesModel_->namesChanged();
        valuesModel_->tableUpdated();
    }
}

void TrafficDlg::tick() {
    if (++ticksSinceSources_ >= kSourceRefreshTicks) {
        ticksSinceSources_ = 0;
        refreshSources();
    }
    collector_.take(entries_);
    for (auto& e : entries_) backlog_.push_back(std::move(e));
    // Beyond a full list's worth the oldest would only scroll out unseen.
    while (backlog_.size() > TrafficLog::kCapacity) backlog_.pop_front();
    if (!backlog_.empty()) {
        const decode::Catalogue& catalogue =
            services_.catalogue ? *services_.catalogue : decode::builtinCatalogue();
        std::vector<TrafficRow> rows;
        QElapsedTimer spent;
        spent.start();
        // A slice of the tick at most; what is left waits for the next one.
        while (!backlog_.empty() && (rows.size() % 64 != 0 || spent.elapsed() < kSliceMs)) {
            const auto& e = backlog_.front();
            decode::decodeMessage(catalogue, e.dgn, e.sa, e.data, decoded_);
            const FieldTexts texts = fieldTexts(decoded_);
            rows.push_back(makeTrafficRow(decoded_, e.micros, sourceNames_[e.sa], texts));
            valueTable_.update(rows.back(), texts);
            backlog_.pop_front();
        }
        // Stay at the newest row if the technician was there; else leave the view where it is.
        QScrollBar* bar = messagesView_->verticalScrollBar();
        const bool atEnd = bar->value() >= bar->maximum();
        messagesModel_->add(std::move(rows));
        if (atEnd && !log_.paused()) messagesView_->scrollToBottom();
    }
    // Highlights fade even when nothing new came.
    valuesModel_->tableUpdated();
    updateStatus();
}

void TrafficDlg::applyFilter() {
    filterTimer_.stop();
    TrafficFilter filter;
    filter.source = sourceFilter_->text().trimmed().toStdString();
    filter.message = messageFilter_->text().trimmed().toStdString();
    filter.text = textFilter_->text().trimmed().toStdString();
    messagesModel_->setFilter(std::move(filter));
    updateStatus();
}

void TrafficDlg::toggleWatch() {
    if (!valueTable_.watching()) {
        valueTable_.startWatch(wallMicros());
        valuesModel_->showAll();
        watch_->setChecked(true);
        watch_->setText("Stop Watching");
        showAll_->setEnabled(false);
    } else {
        valuesModel_->showOnly(valueTable_.stopWatch());
        watch_->setChecked(false);
        watch_->setText("Watch for Changes");
        showAll_->setEnabled(true);
    }
    updateStatus();
}

void TrafficDlg::updateStatus() {
    QString text = QString("%1 of %2 messages shown").arg(log_.shownCount()).arg(log_.size());
    if (log_.paused()) text += QString(", paused: %1 waiting").arg(log_.heldCount());
    messagesStatus_->setText(text);
    if (valueTable_.watching()) {
        valuesStatus_->setText("Watching: operate the switch, then press Stop Watching.");
    } else if (!valuesModel_->showingAll()) {
        valuesStatus_->setText(
            QString("%1 rows changed while watching").arg(valuesModel_->rowCount()));
    } else {
        QString rows = QString("%1 rows").arg(valueTable_.size());
        if (valueTable_.notKept() > 0) {
            rows += QString(", full: %1 messages of new rows not kept").arg(valueTable_.notKept());
        }
        valuesStatus_->setText(rows);
    }
}

void TrafficDlg::chooseExport() {
    const QString file = QFileDialog::getSaveFileName(this, "Export", QString(),
                                                      "candump logs (*.log);;All files (*)");
    if (!file.isEmpty()) exportTo(file.toStdString());
}

bool TrafficDlg::exportTo(const std::string& path) {
    std::string error;
    if (exportCandump(log_, path, error)) return true;
    QMessageBox::warning(this, "Export", QString::fromStdString("Could not write " + error));
    return false;
}

}  // namespace corvane
