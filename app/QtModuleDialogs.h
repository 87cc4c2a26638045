#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>

#include "modules/ModuleDialogs.h"

namespace corvane {

// The module commands' choosers and message boxes as Qt dialogs over the main window. The
// window is set once it exists; until then the dialogs have no parent.
class QtModuleDialogs final : public ModuleDialogs {
  public:
    void setParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> chooseFile(const std::string& filter) override;
    std::optional<std::string> chooseFolder(const std::string& title,
                                            const std::string& initialFolder) override;
    void showMessage(const std::string& text, const std::string& title) override;
    bool askYesNo(const std::string& text, const std::string& title) override;

    // "Name (*.a,*.b)|*.a;*.b|...||" as a Qt filter, "Name (*.a *.b);;...": the patterns
    // come from the pattern part, since Qt reads them from the parentheses, and "*.*" becomes
    // "*" so that files without an extension are listed too.
    static std::string qtFilterOf(const std::string& filter);
    // Texts are written with "\r\n" line ends; a label wants "\n".
    static std::string plainLines(const std::string& text);

  private:
    QPointer<QWidget> parent_;
};

}  // namespace corvane
