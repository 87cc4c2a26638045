#pragma once

#include <QDialog>

#include "cli/ProgramVersion.h"

namespace corvane {

// The About box: the program's picture, its version and build, and OK.
class CAboutDlg final : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMajor = ProgramVersion::kMajor;
    static constexpr int kMinor = ProgramVersion::kMinor;
    static constexpr int kBuild = ProgramVersion::kBuild;

    explicit CAboutDlg(QWidget* parent = nullptr);
    // "Corvane HP v2.3 b1"
    static QString versionText();
};

}  // namespace corvane
