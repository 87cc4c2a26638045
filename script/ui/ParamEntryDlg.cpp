#include "script/ui/ParamEntryDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "script/ui/DialogUnits.h"

namespace corvane {

ParamEntryDlg::ParamEntryDlg(std::string_view params, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Script Parameter Entry");
    const DialogUnits du(*this);
    setFixedSize(du.X(317), du.Y(66));
    auto* label = new QLabel("Enter Script Parameters", this);
    du.Place(label, 5, 10, 200, 10);
    edit_ = new QLineEdit(QString::fromLatin1(params.data(), static_cast<qsizetype>(params.size())),
                          this);
    edit_->setObjectName("params");
    du.Place(edit_, 5, 25, 305, 15);
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    du.Place(ok, 205, 45, 50, 14);
    auto* cancel = new QPushButton("Cancel", this);
    du.Place(cancel, 260, 45, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string ParamEntryDlg::text() const { return edit_->text().toLatin1().toStdString(); }

std::optional<std::string> ParamEntryDlg::Ask(std::string_view params, QWidget* parent) {
    ParamEntryDlg dialog(params, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.text();
}

}  // namespace corvane
