#include "app/ReplayLogDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "logs/ReplayConduit.h"

namespace corvane {

namespace {

struct Speed {
    const char* caption;
    double value;
};

// The log's own timing first: what a technician replaying a fault wants to see.
constexpr Speed kSpeeds[] = {
    {"Original timing", 1.0},
    {"2 times faster", 2.0},
    {"10 times faster", 10.0},
    {"As fast as possible", ReplayConduit::kAsFastAsPossible},
};

}  // namespace

ReplayLogDlg::ReplayLogDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Replay Log");
    file_ = new QLineEdit(this);
    file_->setObjectName("replayFile");
    file_->setMinimumWidth(320);
    auto* browse = new QPushButton("Browse...", this);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_);
    fileRow->addWidget(browse);

    speed_ = new QComboBox(this);
    speed_->setObjectName("replaySpeed");
    for (const Speed& s : kSpeeds) speed_->addItem(s.caption, s.value);
    loop_ = new QCheckBox("Start over at the end", this);
    loop_->setObjectName("replayLoop");
    start_ = new QLineEdit(this);
    start_->setObjectName("replayStart");
    start_->setPlaceholderText("hh:mm:ss into the log (empty: from the start)");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setEnabled(false);

    auto* form = new QFormLayout(this);
    form->addRow("Log file", fileRow);
    form->addRow("Speed", speed_);
    form->addRow("Start from", start_);
    form->addRow("", loop_);
    form->addRow(buttons);

    connect(browse, &QPushButton::clicked, this, &ReplayLogDlg::browse);
    connect(file_, &QLineEdit::textChanged, this, &ReplayLogDlg::updateOk);
    connect(start_, &QLineEdit::textChanged, this, &ReplayLogDlg::updateOk);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ReplayLogDlg::setFile(const QString& path) { file_->setText(path); }

void ReplayLogDlg::updateOk() {
    const std::string start = start_->text().trimmed().toStdString();
    ok_->setEnabled(!file_->text().trimmed().isEmpty() &&
                    (start.empty() || ReplayConduit::parseStartOffset(start).has_value()));
}

void ReplayLogDlg::browse() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, "Replay Log", file_->text(), kLogFilter);
    if (!chosen.isEmpty()) file_->setText(chosen);
}

MainCommands::ReplayChoice ReplayLogDlg::choice() const {
    MainCommands::ReplayChoice c;
    c.path = file_->text().trimmed().toStdString();
    c.speed = speed_->currentData().toDouble();
    c.loop = loop_->isChecked();
    c.startMicros =
        ReplayConduit::parseStartOffset(start_->text().trimmed().toStdString()).value_or(0);
    return c;
}

std::optional<MainCommands::ReplayChoice> ReplayLogDlg::ask(QWidget* parent) {
    ReplayLogDlg dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    MainCommands::ReplayChoice c = dialog.choice();
    if (c.path.empty()) return std::nullopt;
    return c;
}

}  // namespace corvane
