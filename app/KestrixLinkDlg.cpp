#include "app/KestrixLinkDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace corvane {

KestrixLinkDlg::KestrixLinkDlg(QWidget* parent)
    : QDialog(parent),
      userName_(new QLineEdit(this)),
      password_(new QLineEdit(this)),
      linkId_(new QLineEdit(this)),
      otc_(new QLineEdit(this)),
      byRvId_(new QRadioButton("By RV ID", this)),
      byModuleId_(new QRadioButton("By Module ID", this)),
      linkType_(new QButtonGroup(this)) {
    setWindowTitle("KestrixLink Connection");

    auto* login = new QGroupBox("Technician Login", this);
    auto* loginForm = new QFormLayout(login);
    loginForm->addRow("User Name", userName_);
    loginForm->addRow("Password", password_);

    auto* mobile = new QGroupBox("Mobile Connection", this);
    auto* mobileLayout = new QVBoxLayout(mobile);
    linkType_->addButton(byRvId_, KestrixLinkDetails::kByRvId);
    linkType_->addButton(byModuleId_, KestrixLinkDetails::kByModuleId);
    mobileLayout->addWidget(byRvId_);
    mobileLayout->addWidget(byModuleId_);
    mobileLayout->addWidget(linkId_);
    byRvId_->setChecked(true);

    // The code is a number: the box takes digits only.
    otc_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), otc_));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(login);
    layout->addWidget(mobile);
    layout->addWidget(new QLabel("OTC (One-Time Only Code) From Display", this));
    layout->addWidget(otc_);
    layout->addWidget(buttons);
}

void KestrixLinkDlg::load(const KestrixLinkDetails& details) {
    userName_->setText(QString::fromStdString(details.userName));
    password_->setText(QString::fromStdString(details.password));
    linkId_->setText(QString::fromStdString(details.linkId));
    otc_->setText(QString::fromStdString(details.otcText));
    (details.linkIdType == KestrixLinkDetails::kByModuleId ? byModuleId_ : byRvId_)
        ->setChecked(true);
}

KestrixLinkDetails KestrixLinkDlg::read() const {
    KestrixLinkDetails d;
    d.userName = userName_->text().toStdString();
    d.password = password_->text().toStdString();
    d.linkId = linkId_->text().toStdString();
    d.otcText = otc_->text().toStdString();
    d.linkIdType =
        byModuleId_->isChecked() ? KestrixLinkDetails::kByModuleId : KestrixLinkDetails::kByRvId;
    return d;
}

bool KestrixLinkDlgAsker::ask(KestrixLinkDetails& details) {
    KestrixLinkDlg dialog(parent_);
    dialog.load(details);
    if (dialog.exec() != QDialog::Accepted) return false;
    details = dialog.read();
    return true;
}

}  // namespace corvane
