#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "adapters/CloudLoginPrompt.h"

namespace corvane {

// "KestrixLink Connection": the technician's login and which vehicle link to open. The
// password box shows what is typed, as on the service's own forms; the code box takes digits.
class KestrixLinkDlg final : public QDialog {
    Q_OBJECT
  public:
    explicit KestrixLinkDlg(QWidget* parent = nullptr);

    // Pre-fills the controls from `details`.
    void load(const KestrixLinkDetails& details);
    // What the controls hold now.
    KestrixLinkDetails read() const;

    QLineEdit* userName() const { return userName_; }
    QLineEdit* password() const { return password_; }
    QLineEdit* linkId() const { return linkId_; }
    QLineEdit* otc() const { return otc_; }
    QRadioButton* byRvId() const { return byRvId_; }
    QRadioButton* byModuleId() const { return byModuleId_; }

  private:
    QLineEdit* userName_;
    QLineEdit* password_;
    QLineEdit* linkId_;
    QLineEdit* otc_;
    QRadioButton* byRvId_;
    QRadioButton* byModuleId_;
    QButtonGroup* linkType_;
};

// The cloud adapter's way to the dialog: shown modally over `parent`; OK copies what was
// typed into the details, anything else leaves them as they were.
class KestrixLinkDlgAsker final : public CloudLoginPrompt {
  public:
    explicit KestrixLinkDlgAsker(QWidget* parent) : parent_(parent) {}
    bool ask(KestrixLinkDetails& details) override;

  private:
    QWidget* parent_;
};

}  // namespace corvane
