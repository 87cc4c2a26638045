#pragma once

#include <QDialog>

namespace corvane {

// The About box: the program's picture, its version and build, and OK.
class CAboutDlg final : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMajor = 2;
    static constexpr int kMinor = 3;
    static constexpr int kBuild = 1;

    explicit CAboutDlg(QWidget* parent = nullptr);
    // "Corvane HP v2.3 b1"
    static QString versionText();
};

}  // namespace corvane
