#include "app/RecordTrafficDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace corvane {

namespace {

// The compressions in the order the box lists them.
constexpr LogCompression kCompressions[] = {LogCompression::None, LogCompression::Gzip,
                                            LogCompression::Zstd};
constexpr const char* kCompressionCaptions[] = {"None", "gzip (.gz)", "zstd (.zst)"};

QSpinBox* countBox(QWidget* parent, int most, int value, const char* suffix, const char* zero) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, most);
    box->setValue(value);
    box->setSuffix(suffix);
    // 0 turns the limit off, and the box says so instead of showing a 0.
    box->setSpecialValueText(zero);
    return box;
}

// A line edit with a Browse button after it.
QHBoxLayout* withBrowse(QLineEdit* edit, QPushButton* browse) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(edit);
    row->addWidget(browse);
    return row;
}

}  // namespace

RecordTrafficDlg::RecordTrafficDlg(const RecordingOptions& options, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(MainCommands::kRecordingTitle);
    fileMode_ = new QRadioButton("One file", this);
    fileMode_->setChecked(true);
    folderMode_ = new QRadioButton("A new file every so often, in a folder", this);

    fileRow_ = new QWidget(this);
    file_ = new QLineEdit(fileRow_);
    file_->setObjectName("recordFile");
    file_->setMinimumWidth(320);
    file_->setPlaceholderText("ending in .gz or .zst to compress it");
    auto* browseFile = new QPushButton("Browse...", fileRow_);
    fileRow_->setLayout(withBrowse(file_, browseFile));

    folderRows_ = new QWidget(this);
    folder_ = new QLineEdit(folderRows_);
    folder_->setObjectName("recordFolder");
    auto* browseFolder = new QPushButton("Browse...", folderRows_);
    minutes_ = countBox(folderRows_, kMostMinutes, options.fileMinutes.value_or(0), " minutes",
                        "never by time");
    megabytes_ = countBox(folderRows_, kMostMB, options.fileMB.value_or(0), " MB", "never by size");
    days_ = countBox(folderRows_, kMostDays, options.keepDays.value_or(0), " days", "any age");
    gigabytes_ = countBox(folderRows_, kMostGB, options.keepGB.value_or(0), " GB", "no limit");
    compression_ = new QComboBox(folderRows_);
    for (size_t i = 0; i < std::size(kCompressions); ++i) {
        compression_->addItem(kCompressionCaptions[i]);
        if (kCompressions[i] == options.compression.value_or(LogCompression::None))
            compression_->setCurrentIndex(static_cast<int>(i));
    }
    auto* folderForm = new QFormLayout(folderRows_);
    folderForm->setContentsMargins(0, 0, 0, 0);
    folderForm->addRow("Folder", withBrowse(folder_, browseFolder));
    folderForm->addRow("New file every", minutes_);
    folderForm->addRow("or when it passes", megabytes_);
    folderForm->addRow("Keep the last", days_);
    folderForm->addRow("and at most", gigabytes_);
    folderForm->addRow("Compression", compression_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileMode_);
    layout->addWidget(fileRow_);
    layout->addWidget(folderMode_);
    layout->addWidget(folderRows_);
    layout->addWidget(buttons);

    connect(browseFile, &QPushButton::clicked, this, &RecordTrafficDlg::browseFile);
    connect(browseFolder, &QPushButton::clicked, this, &RecordTrafficDlg::browseFolder);
    connect(fileMode_, &QRadioButton::toggled, this, &RecordTrafficDlg::update);
    connect(file_, &QLineEdit::textChanged, this, &RecordTrafficDlg::update);
    connect(folder_, &QLineEdit::textChanged, this, &RecordTrafficDlg::update);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    update();
}

void RecordTrafficDlg::update() {
    const bool folder = folderMode_->isChecked();
    fileRow_->setEnabled(!folder);
    folderRows_->setEnabled(folder);
    ok_->setEnabled(!(folder ? folder_ : file_)->text().trimmed().isEmpty());
}

void RecordTrafficDlg::browseFile() {
    const QString chosen = QFileDialog::getSaveFileName(this, MainCommands::kRecordingTitle,
                                                        file_->text(), kFileFilter);
    if (!chosen.isEmpty()) file_->setText(chosen);
}

void RecordTrafficDlg::browseFolder() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, MainCommands::kRecordingTitle, folder_->text());
    if (!chosen.isEmpty()) folder_->setText(chosen);
}

MainCommands::RecordingChoice RecordTrafficDlg::choice() const {
    MainCommands::RecordingChoice c;
    c.folder = folderMode_->isChecked();
    c.path = (c.folder ? folder_ : file_)->text().trimmed().toStdString();
    if (c.folder) {
        c.options.fileMinutes = minutes_->value();
        c.options.fileMB = megabytes_->value();
        c.options.keepDays = days_->value();
        c.options.keepGB = gigabytes_->value();
        c.options.compression = kCompressions[std::max(compression_->currentIndex(), 0)];
    }
    return c;
}

std::optional<MainCommands::RecordingChoice> RecordTrafficDlg::ask(
    QWidget* parent, const RecordingOptions& options) {
    RecordTrafficDlg dialog(options, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    MainCommands::RecordingChoice c = dialog.choice();
    if (c.path.empty()) return std::nullopt;
    return c;
}

}  // namespace corvane
