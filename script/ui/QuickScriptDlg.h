#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "platform/SettingsStore.h"

namespace corvane {

class QuickScriptEditBox;

// "Quick Script": edits the quick script file. Run saves the edit over the file and closes
// with Accepted, after which the caller starts the file as a script; Cancel closes with
// Rejected and leaves the file alone. Resizable; its size is kept as "CX"/"CY" in section "dd".
class QuickScriptDlg : public QDialog {
    Q_OBJECT
  public:
    using MessageBox = std::function<void(const std::string& text, const std::string& title)>;

    QuickScriptDlg(SettingsStore& settings, std::string path, MessageBox showMessage = {},
                   QWidget* parent = nullptr);

    QuickScriptEditBox& edit() { return *edit_; }
    // Help for the caret's line: one message per matching entry, in list order.
    void ShowContextHelp();
    void Run();
    // The Insert menu's item `item` of `submenu`; false when there is none.
    bool Insert(const std::string& submenu, const std::string& item);

    void done(int result) override;

  private:
    void BuildMenus();
    void RestoreSize();

    SettingsStore& settings_;
    std::string path_;
    MessageBox showMessage_;
    QuickScriptEditBox* edit_;
};

}  // namespace corvane
