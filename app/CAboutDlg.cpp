#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/AppIcon.h"

namespace corvane {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutBox");
    setWindowTitle("About Corvane");
    auto* picture = new QLabel(this);
    picture->setPixmap(AppIcon::pixmap(48));
    auto* version = new QLineEdit(versionText(), this);
    version->setObjectName("versionText");
    version->setReadOnly(true);
    version->setFrame(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(version, 0, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
}

QString CAboutDlg::versionText() {
    return QString("Corvane HP v%1.%2 b%3").arg(kMajor).arg(kMinor).arg(kBuild);
}

}  // namespace corvane
