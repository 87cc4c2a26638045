#include "script/ui/ScriptDlg.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <array>
#include <filesystem>
#include <fstream>

#include "core/RVCManager.h"
#include "platform/FileReplacement.h"
#include "script/ui/CInfo.h"
#include "script/ui/CLineChartCtrl.h"
#include "script/ui/DialogUnits.h"
#include "script/ui/GraphWindow.h"
#include "script/ui/MenuCommandDlg.h"
#include "script/ui/ParamEntryDlg.h"
#include "script/ui/TabStopDelegate.h"

namespace corvane {

namespace {

ScriptDlg* current = nullptr;  // the one-script slot

constexpr int kStepMs = 100;

const std::array<QColor, 8> kSlotColours = {
    QColor(255, 255, 255), QColor(0, 255, 255),   QColor(255, 0, 255),   QColor(255, 255, 0),
    QColor(255, 128, 128), QColor(128, 255, 128), QColor(128, 128, 255), QColor(64, 64, 64)};

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Log files and the print file hold the log's lines as saving writes them.
bool WriteLines(std::ofstream& out, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) out << line << "\r\n";
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

ScriptDlg::ScriptDlg(ScriptServices services, const std::string& path, const std::string& params,
                     uint8_t target, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), path_(path) {
    current = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Executing Script");
    BuildControls();
    static const SystemClock systemClock;
    const Clock& clock = services_.clock != nullptr ? *services_.clock : systemClock;
    engine_ = std::make_unique<ScriptEngine>(*this, clock, services_.network);
    if (services_.network.manager != nullptr) {
        services_.network.manager->setDataFieldSink(&engine_->variables());
    }
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &ScriptDlg::Step);
    timer_->start(kStepMs);
    pathBox_->setText(Latin1(path_));
    (void)engine_->Start(path_, params, target);
    RefreshVariables();
}

ScriptDlg::~ScriptDlg() {
    // The manager's dispatch must stop feeding the variables before they go.
    if (services_.network.manager != nullptr) services_.network.manager->setDataFieldSink(nullptr);
    if (current == this) current = nullptr;
}

ScriptDlg* ScriptDlg::Current() { return current; }

void ScriptDlg::BuildControls() {
    const DialogUnits du(*this);
    setFixedSize(du.X(352), du.Y(277));
    const auto makeButton = [&](const char* text, int x, int y, int w, int h) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        du.Place(b, x, y, w, h);
        return b;
    };
    const auto makeBox = [&](int x, int y, int w, int h) {
        auto* e = new QLineEdit(this);
        e->setReadOnly(true);
        du.Place(e, x, y, w, h);
        return e;
    };
    close_ = makeButton("Close", 260, 5, 85, 14);
    runAgain_ = makeButton("Run Again", 260, 20, 85, 10);
    du.Place(new QLabel("Script", this), 260, 30, 40, 10);
    pathBox_ = makeBox(260, 43, 85, 14);
    du.Place(new QLabel("Target", this), 260, 70, 35, 10);
    targetBox_ = makeBox(300, 65, 45, 14);
    abort_ = makeButton("Abort", 10, 89, 50, 14);
    continue_ = makeButton("Continue", 65, 89, 50, 14);
    retry_ = makeButton("Retry", 120, 89, 50, 14);
    saveLog_ = makeButton("Save Log", 225, 89, 60, 14);
    printLog_ = makeButton("Print Log", 290, 89, 55, 14);
    statusBox_ = makeBox(5, 106, 340, 15);
    variables_ = new QListWidget(this);
    variables_->setObjectName("variables");
    variables_->setItemDelegate(new TabStopDelegate(du.X(100), variables_));
    du.Place(variables_, 5, 5, 240, 80);
    log_ = new CInfo(this);
    log_->setObjectName("log");
    du.Place(log_, 5, 125, 340, 145);

    connect(close_, &QPushButton::clicked, this, &ScriptDlg::CloseScript);
    connect(runAgain_, &QPushButton::clicked, this, &ScriptDlg::RunAgain);
    connect(abort_, &QPushButton::clicked, this, [this] { engine_->Abort(); });
    connect(continue_, &QPushButton::clicked, this, [this] { engine_->Continue(); });
    connect(retry_, &QPushButton::clicked, this, [this] { engine_->Retry(); });
    connect(saveLog_, &QPushButton::clicked, this, &ScriptDlg::ShowSaveLogDialog);
    connect(printLog_, &QPushButton::clicked, this, &ScriptDlg::PrintLog);
    connect(variables_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ClickVariable(variables_->row(item)); });
}

QPushButton* ScriptDlg::button(ScriptButton which) const {
    switch (which) {
        case ScriptButton::Continue:
            return continue_;
        case ScriptButton::Retry:
            return retry_;
        case ScriptButton::Abort:
            return abort_;
        case ScriptButton::Close:
            return close_;
        case ScriptButton::RunAgain:
            return runAgain_;
    }
    return nullptr;
}

void ScriptDlg::Step() {
    engine_->Step();
    RefreshVariables();
}

void ScriptDlg::RefreshVariables() {
    // Lines are taken under the variables' lock and drawn after it is released.
    std::vector<std::pair<int, std::string>> lines;
    const bool all = redrawAll_;
    {
        auto vars = engine_->variables().Lock();
        int n = 0;
        for (const auto& datum : vars.datums()) {
            if (datum->visible != 1) continue;
            if (all || datum->changed == 1) {
                datum->changed = 0;
                lines.emplace_back(n, datum->DisplayLine());
            }
            ++n;
        }
    }
    redrawAll_ = false;
    if (!all && lines.empty()) return;
    variables_->setUpdatesEnabled(false);
    const int top = variables_->verticalScrollBar()->value();
    const int selected = variables_->currentRow();
    if (all) variables_->clear();
    for (const auto& [n, text] : lines) {
        if (!all && n < variables_->count()) delete variables_->takeItem(n);
        variables_->insertItem(n, Latin1(text));
    }
    if (selected >= 0 && selected < variables_->count()) variables_->setCurrentRow(selected);
    variables_->verticalScrollBar()->setValue(top);
    variables_->setUpdatesEnabled(true);
}

void ScriptDlg::ClickVariable(int row) {
    std::string command;
    {
        auto vars = engine_->variables().Lock();
        int n = 0;
        for (const auto& datum : vars.datums()) {
            if (datum->visible != 1) continue;
            if (n++ == row) {
                command = datum->command;
                break;
            }
        }
    }
    if (!command.empty()) {
        engine_->ExecuteLine(command);
        SetStatus("Executing " + command);
    }
    variables_->clearSelection();
    variables_->setCurrentRow(-1);
}

void ScriptDlg::CloseScript() { close(); }

void ScriptDlg::closeEvent(QCloseEvent* event) {
    // A running script is stopped with Abort first, as the Close button's state says.
    if (!close_->isEnabled()) {
        event->ignore();
        return;
    }
    timer_->stop();
    engine_->variables().Clear();
    engine_->ClearExecPoints();
    if (graph_) graph_->EnableClose();
    event->accept();
}

void ScriptDlg::reject() { close(); }

void ScriptDlg::RunAgain() {
    (void)engine_->RunAgain();
    RefreshVariables();
}

void ScriptDlg::ShowMessage(const std::string& text, const std::string& title) {
    if (services_.showMessage) {
        services_.showMessage(text, title);
    } else {
        QMessageBox::warning(this, Latin1(title), Latin1(text));
    }
}

void ScriptDlg::AppendText(std::string_view text) { log_->AppendText(text); }

void ScriptDlg::AppendLine(std::string_view text) { log_->AppendLine(text); }

void ScriptDlg::ClearLog() { log_->Clear(); }

bool ScriptDlg::SaveLog(const std::string& path) {
    // A save that fails half way (a full disk) leaves an earlier file of that name as it was.
    FileReplacement file(path);
    if (!file.opened()) {
        ShowMessage("Error Trying to Initialize File (" + path + ")", "Error");
        return false;
    }
    SetStatus("Saving " + path);
    if (!WriteLines(file.stream(), log_->Lines()) || !file.commit()) {
        ShowMessage("Error Trying to Write File (" + path + ")", "Error");
        SetStatus("Not Saved");
        return false;
    }
    SetStatus("Saved");
    return true;
}

void ScriptDlg::ShowSaveLogDialog() {
    std::optional<std::string> chosen;
    if (services_.chooseLogFile) {
        chosen = services_.chooseLogFile();
    } else {
        const QString name = QFileDialog::getSaveFileName(this, "Save Log", QString(),
                                                          "Log Files (*.log);;All Files (*.*)");
        if (!name.isEmpty()) chosen = name.toLocal8Bit().toStdString();
    }
    if (!chosen || chosen->empty()) return;
    if (!std::filesystem::path(*chosen).has_extension()) *chosen += ".log";
    (void)SaveLog(*chosen);
}

void ScriptDlg::PrintLog() {
    const std::string file = "TEMP.TXT";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        ShowMessage("Error Trying to Initialize Print File", "Error");
        return;
    }
    const std::vector<std::string> lines = log_->Lines();
    bool anyText = false;
    for (const std::string& line : lines) anyText = anyText || !line.empty();
    if (!anyText) {
        ShowMessage("Nothing to Print", "Error");
        return;
    }
    (void)WriteLines(out, lines);
    out.close();
    SetStatus("Printing");
    if (services_.print) {
        (void)services_.print(file);
    } else {
        (void)QProcess::startDetached("lp", {QString::fromStdString(file)});
    }
}

std::string ScriptDlg::status() const { return statusBox_->text().toLatin1().toStdString(); }

void ScriptDlg::SetStatus(std::string_view text) { statusBox_->setText(Latin1(text)); }

void ScriptDlg::EnableButton(ScriptButton which, bool enabled) {
    if (QPushButton* b = button(which)) b->setEnabled(enabled);
}

void ScriptDlg::ShowTarget(uint8_t target) { targetBox_->setText(QString::number(target)); }

std::optional<std::string> ScriptDlg::AskForParams(std::string_view current) {
    return ParamEntryDlg::Ask(current, this);
}

std::optional<std::string> ScriptDlg::ChooseMenuToken(std::span<const MenuEntry> entries) {
    return MenuCommandDlg::Choose(entries, this);
}

void ScriptDlg::StartGraph(int width, int height) {
    if (graph_) graph_->EnableClose();
    // The graph belongs to the window that owns the script window: it stays when the script
    // window closes and goes with the main window.
    graph_ = new GraphWindow(4 * width, height, parentWidget());
    graph_->show();
}

void ScriptDlg::AddGraphLine(int slot) {
    if (graph_ && slot >= 0 && slot < static_cast<int>(kSlotColours.size())) {
        graph_->chart().Add(kSlotColours[static_cast<size_t>(slot)]);
    }
}

void ScriptDlg::AdvanceGraph(std::span<const int> positions) {
    if (!graph_) return;
    for (size_t i = 0; i < positions.size(); ++i) {
        graph_->chart().SetPos(static_cast<int>(i), positions[i]);
    }
    graph_->chart().Go();
}

}  // namespace corvane
