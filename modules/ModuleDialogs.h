#pragma once

#include <optional>
#include <string>

namespace corvane {

// The choosers and message boxes the module commands need; the main window supplies them.
class ModuleDialogs {
  public:
    virtual ~ModuleDialogs() = default;
    // A file-open chooser (the file must exist; the current folder is left alone) with a
    // filter text in the "Name (*.x)|*.x|...||" form. The chosen full path; nullopt: cancelled.
    virtual std::optional<std::string> chooseFile(const std::string& filter) = 0;
    // A folder chooser; an empty initialFolder means none. nullopt: cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& title,
                                                    const std::string& initialFolder) = 0;
    // A message box with an OK button.
    virtual void showMessage(const std::string& text, const std::string& title) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
};

}  // namespace corvane
