#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <string_view>

class QLineEdit;

namespace corvane {

// ASKFORPARAMS: lets the user edit the script's PARAMS text.
class ParamEntryDlg : public QDialog {
    Q_OBJECT
  public:
    explicit ParamEntryDlg(std::string_view params, QWidget* parent = nullptr);

    std::string text() const;
    // Shows the dialog modally: the edited text on OK, nothing on Cancel.
    static std::optional<std::string> Ask(std::string_view params, QWidget* parent);

  private:
    QLineEdit* edit_;
};

}  // namespace corvane
