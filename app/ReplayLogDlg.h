#pragma once

#include <QDialog>
#include <optional>

#include "app/MainCommands.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace corvane {

// "Replay Log...": the log file, the speed and whether to start over at the end.
class ReplayLogDlg final : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kLogFilter =
        "CAN Logs (*.log *.log.gz *.log.zst *.asc *.asc.gz *.asc.zst);;All Files (*)";

    explicit ReplayLogDlg(QWidget* parent = nullptr);

    // What the user chose, or nothing when no file is named.
    MainCommands::ReplayChoice choice() const;
    void setFile(const QString& path);

    // Shows the dialog; the choice when the user pressed OK with a file named.
    static std::optional<MainCommands::ReplayChoice> ask(QWidget* parent);

    QComboBox& speedBox() { return *speed_; }
    QCheckBox& loopBox() { return *loop_; }
    // "Start from": a time into the log, "hh:mm:ss"; empty plays from the start.
    QLineEdit& startBox() { return *start_; }
    QPushButton& okButton() { return *ok_; }

  private:
    void browse();
    // OK needs a file and a start time that reads (or none).
    void updateOk();

    QLineEdit* file_ = nullptr;
    QComboBox* speed_ = nullptr;
    QCheckBox* loop_ = nullptr;
    QLineEdit* start_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace corvane
