#include "app/ExternalModuleDlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

namespace {

// The one open window; set and cleared on the user-interface thread only.
ExternalModuleDlg* openWindow = nullptr;

}  // namespace

ExternalModuleDlg* ExternalModuleDlg::open(const std::string& folder, RunRequest run) {
    auto* window = new ExternalModuleDlg(folder, std::move(run));
    window->setAttribute(Qt::WA_DeleteOnClose);
    openWindow = window;
    window->show();
    return window;
}

ExternalModuleDlg* ExternalModuleDlg::instance() { return openWindow; }

ExternalModuleDlg::ExternalModuleDlg(const std::string& folder, RunRequest run)
    : QDialog(nullptr),
      list_(new QListWidget(this)),
      folder_(new QLineEdit(this)),
      run_(std::move(run)) {
    setWindowTitle("External Modules");
    list_->setSortingEnabled(true);
    folder_->setReadOnly(true);
    auto* done = new QPushButton("Done", this);
    connect(done, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &ExternalModuleDlg::onDoubleClick);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(folder_, 1);
    bottom->addWidget(done);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);
    resize(460, 300);

    // Filled once: the list does not follow later changes of the folder.
    modules_.fill(folder);
    folder_->setText(QString::fromStdString(folder));
    for (size_t i = 0; i < modules_.modules().size(); ++i) {
        auto* item =
            new QListWidgetItem(QString::fromStdString(modules_.modules()[i]->description));
        item->setData(Qt::UserRole, static_cast<qulonglong>(i));
        list_->addItem(item);
    }
}

ExternalModuleDlg::~ExternalModuleDlg() {
    if (openWindow == this) openWindow = nullptr;
}

void ExternalModuleDlg::onDoubleClick(QListWidgetItem* item) {
    const auto index = static_cast<size_t>(item->data(Qt::UserRole).toULongLong());
    if (index < modules_.modules().size() && run_) run_(modules_.modules()[index]);
}

}  // namespace corvane
