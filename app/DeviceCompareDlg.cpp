#include "app/DeviceCompareDlg.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/DeviceListFile.h"
#include "modules/ModuleDialogs.h"

namespace corvane {

namespace {

constexpr int kFontPoints = 9;
constexpr int kWidth = 590;
constexpr int kHeight = 290;

}  // namespace

DeviceCompareDlg::DeviceCompareDlg(const std::string& text, QWidget* parent)
    : QDialog(parent), report_(new QPlainTextEdit(this)) {
    setWindowTitle("Device Compare");
    QFont font("Courier New", kFontPoints);
    font.setStyleHint(QFont::TypeWriter);  // any fixed-pitch font where Courier New is absent
    report_->setFont(font);
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    report_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The report's lines end CR LF; the edit box breaks at LF alone. Texts are 8-bit.
    report_->setPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))
                              .replace("\r\n", "\n"));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("Done", QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(report_, 1);
    layout->addWidget(buttons);
    resize(kWidth, kHeight);
}

void ShowDeviceListComparison(const std::string& path, const DeviceTable& table,
                              ModuleDialogs& dialogs, QWidget* parent) {
    const auto text = CompareDeviceList(path, table);
    if (!text) dialogs.showMessage("Failed to load file.", "File Error");
    DeviceCompareDlg dialog(text.value_or(std::string()), parent);
    dialog.exec();
}

}  // namespace corvane
