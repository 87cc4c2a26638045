#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>
#include <string>

#include "script/ScriptEngine.h"
#include "script/ScriptWindow.h"
#include "script/ui/GraphWindow.h"
#include "script/ui/ScriptServices.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace corvane {

class CInfo;

// "Executing Script": runs one script with a 100 ms step and shows its variables, log and
// status. Modeless; deletes itself when closed, which frees the one-script slot.
class ScriptDlg : public QDialog, public ScriptWindow {
    Q_OBJECT
  public:
    ScriptDlg(ScriptServices services, const std::string& path, const std::string& params,
              uint8_t target, QWidget* parent = nullptr);
    ~ScriptDlg() override;

    // The script window of this process, if one is open.
    static ScriptDlg* Current();

    // One 100 ms tick: the engine's step, then the variable list.
    void Step();
    void RefreshVariables();
    // A click on line `row` of the variable list.
    void ClickVariable(int row);
    // The Close button: ends the window and lets the graph be closed.
    void CloseScript();
    void RunAgain();
    void PrintLog();

    ScriptEngine& engine() { return *engine_; }
    CInfo& log() { return *log_; }
    QListWidget& variableList() { return *variables_; }
    std::string status() const;
    std::string path() const { return path_; }
    GraphWindow* graph() const { return graph_; }
    QPushButton* button(ScriptButton which) const;

    // ScriptWindow
    void AppendText(std::string_view text) override;
    void AppendLine(std::string_view text) override;
    void ClearLog() override;
    bool SaveLog(const std::string& path) override;
    void ShowSaveLogDialog() override;
    void SetStatus(std::string_view text) override;
    void EnableButton(ScriptButton button, bool enabled) override;
    void ShowTarget(uint8_t target) override;
    void RedrawAll() override { redrawAll_ = true; }
    std::optional<std::string> AskForParams(std::string_view current) override;
    std::optional<std::string> ChooseMenuToken(std::span<const MenuEntry> entries) override;
    void StartGraph(int width, int height) override;
    void AddGraphLine(int slot) override;
    void AdvanceGraph(std::span<const int> positions) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void BuildControls();
    void ShowMessage(const std::string& text, const std::string& title);

    ScriptServices services_;
    std::string path_;
    std::unique_ptr<ScriptEngine> engine_;
    bool redrawAll_ = true;
    QPointer<GraphWindow> graph_;

    QTimer* timer_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* continue_ = nullptr;
    QPushButton* retry_ = nullptr;
    QPushButton* abort_ = nullptr;
    QPushButton* printLog_ = nullptr;
    QPushButton* runAgain_ = nullptr;
    QPushButton* saveLog_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    QLineEdit* targetBox_ = nullptr;
    QLineEdit* statusBox_ = nullptr;
    QListWidget* variables_ = nullptr;
    CInfo* log_ = nullptr;
};

}  // namespace corvane
