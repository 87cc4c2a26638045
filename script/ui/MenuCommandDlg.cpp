#include "script/ui/MenuCommandDlg.h"

#include <QListWidget>
#include <QPushButton>

#include "script/ui/DialogUnits.h"
#include "script/ui/TabStopDelegate.h"

namespace corvane {

namespace {

// The token of a line is what its brackets hold, as the line shows it.
std::string TokenOf(const QString& line) {
    const qsizetype open = line.lastIndexOf('[');
    const qsizetype close = line.lastIndexOf(']');
    if (open < 0 || close < open) return {};
    return line.mid(open + 1, close - open - 1).toLatin1().toStdString();
}

}  // namespace

MenuCommandDlg::MenuCommandDlg(std::span<const MenuEntry> entries, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Script Menu");
    const DialogUnits du(*this);
    setFixedSize(du.X(267), du.Y(90));
    list_ = new QListWidget(this);
    list_->setObjectName("menu");
    list_->setItemDelegate(new TabStopDelegate(du.X(200), list_));
    du.Place(list_, 11, 10, 245, 50);
    for (const MenuEntry& entry : entries) {
        list_->addItem(QString::fromLatin1(entry.display + "\t[" + entry.token + "]"));
    }
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    du.Place(ok, 108, 68, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QListWidget::currentRowChanged, this, &MenuCommandDlg::TakeRow);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        TakeRow(list_->row(item));
        accept();
    });
    if (list_->count() > 0) list_->setCurrentRow(0);
}

void MenuCommandDlg::TakeRow(int row) {
    if (row >= 0 && row < list_->count()) choice_ = TokenOf(list_->item(row)->text());
}

std::optional<std::string> MenuCommandDlg::Choose(std::span<const MenuEntry> entries,
                                                  QWidget* parent) {
    MenuCommandDlg dialog(entries, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

}  // namespace corvane
