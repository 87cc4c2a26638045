#include "script/ui/QuickScriptDlg.h"

#include <QGridLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "script/HelpTable.h"
#include "script/ScriptText.h"
#include "script/ui/DialogUnits.h"
#include "script/ui/QuickScriptEditBox.h"
#include "script/ui/QuickScriptText.h"

namespace corvane {

namespace {

const std::string kSizeSection = "dd";

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QuickScriptDlg::QuickScriptDlg(SettingsStore& settings, std::string path, MessageBox showMessage,
                               QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      path_(std::move(path)),
      showMessage_(std::move(showMessage)) {
    setWindowTitle("Quick Script");
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    const DialogUnits du(*this);
    auto* layout = new QGridLayout(this);
    auto* run = new QPushButton("Run", this);
    run->setFixedSize(du.X(162), du.Y(14));
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setFixedSize(du.X(50), du.Y(14));
    edit_ = new QuickScriptEditBox(this);
    layout->addWidget(run, 0, 0, Qt::AlignLeft);
    layout->addWidget(cancel, 0, 1, Qt::AlignRight);
    layout->addWidget(edit_, 1, 0, 1, 2);
    layout->setRowStretch(1, 1);
    BuildMenus();
    connect(run, &QPushButton::clicked, this, &QuickScriptDlg::Run);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edit_, &QuickScriptEditBox::helpRequested, this, &QuickScriptDlg::ShowContextHelp);

    QStringList lines;
    for (const std::string& line : QuickScriptText::Load(path_)) lines << Latin1(line);
    edit_->setPlainText(lines.join('\n'));

    const int menuHeight = layout->menuBar() ? layout->menuBar()->sizeHint().height() : 0;
    setMinimumSize(du.X(522), du.Y(230) + menuHeight);
    resize(minimumSize());
    RestoreSize();
}

void QuickScriptDlg::BuildMenus() {
    auto* bar = new QMenuBar(this);
    QMenu* action = bar->addMenu("Action");
    connect(action->addAction("Run"), &QAction::triggered, this, &QuickScriptDlg::Run);
    connect(action->addAction("Quit"), &QAction::triggered, this, &QDialog::reject);
    QMenu* insert = bar->addMenu("Insert");
    QMenu* submenu = nullptr;
    std::string_view current;
    for (const InsertItem& item : HelpTable::InsertItems()) {
        if (submenu == nullptr || item.submenu != current) {
            submenu = insert->addMenu(Latin1(item.submenu));
            current = item.submenu;
        }
        const std::string text(item.templateText);
        connect(submenu->addAction(Latin1(item.item)), &QAction::triggered, this, [this, text] {
            if (!text.empty()) edit_->InsertTemplate(text);
        });
    }
    layout()->setMenuBar(bar);
}

bool QuickScriptDlg::Insert(const std::string& submenu, const std::string& item) {
    for (const InsertItem& entry : HelpTable::InsertItems()) {
        if (entry.submenu == submenu && entry.item == item) {
            if (!entry.templateText.empty()) edit_->InsertTemplate(entry.templateText);
            return true;
        }
    }
    return false;
}

void QuickScriptDlg::ShowContextHelp() {
    const std::string line = ToUpper(edit_->CaretLine());
    for (const HelpEntry* entry : HelpTable::Matching(line)) {
        const std::string text(entry->text);
        const std::string title(entry->keyword);
        if (showMessage_) {
            showMessage_(text, title);
        } else {
            QString shown = Latin1(text);
            shown.replace("\n\r", "\n").replace("\r\n", "\n");
            QMessageBox::information(this, Latin1(title), shown);
        }
    }
}

void QuickScriptDlg::Run() {
    std::vector<std::string> lines;
    for (const QString& line : edit_->toPlainText().split('\n')) {
        lines.push_back(line.toLatin1().toStdString());
    }
    // A file that cannot be written still closes with Run: the caller reports the start.
    (void)QuickScriptText::Save(path_, lines);
    accept();
}

void QuickScriptDlg::RestoreSize() {
    const int width = settings_.readInteger(kSizeSection, "CX").value_or(0);
    const int height = settings_.readInteger(kSizeSection, "CY").value_or(0);
    if (width != 0 && height != 0) resize(width, height);
}

void QuickScriptDlg::done(int result) {
    settings_.writeInteger(kSizeSection, "CX", width());
    settings_.writeInteger(kSizeSection, "CY", height());
    QDialog::done(result);
}

}  // namespace corvane
