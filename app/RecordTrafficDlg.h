#pragma once

#include <QDialog>
#include <optional>

#include "app/MainCommands.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace corvane {

// "Record Traffic...": one file, or a folder of files that begins a new one every so many
// minutes or megabytes and keeps the last days or gigabytes (the settings of
// `corvane --headless --record`, shown as stored and stored again when recording starts).
class RecordTrafficDlg final : public QDialog {
    Q_OBJECT
  public:
    // A name ending in .gz or .zst records compressed.
    static constexpr const char* kFileFilter = "CAN Logs (*.log *.log.gz *.log.zst);;All Files (*)";
    // The largest value each box takes: a year of minutes, a terabyte, ten years.
    static constexpr int kMostMinutes = 525'600;
    static constexpr int kMostMB = 1'048'576;
    static constexpr int kMostDays = 3650;
    static constexpr int kMostGB = 1024;

    // Offers `options` (every value set) for a folder.
    explicit RecordTrafficDlg(const RecordingOptions& options, QWidget* parent = nullptr);

    // What the user chose; its path is empty when none is named.
    MainCommands::RecordingChoice choice() const;

    // Shows the dialog; the choice when the user pressed OK with a file or folder named.
    static std::optional<MainCommands::RecordingChoice> ask(QWidget* parent,
                                                            const RecordingOptions& options);

    QRadioButton& folderButton() { return *folderMode_; }
    QLineEdit& fileBox() { return *file_; }
    QLineEdit& folderBox() { return *folder_; }
    QSpinBox& minutesBox() { return *minutes_; }
    QSpinBox& megabytesBox() { return *megabytes_; }
    QSpinBox& daysBox() { return *days_; }
    QSpinBox& gigabytesBox() { return *gigabytes_; }
    QComboBox& compressionBox() { return *compression_; }
    QPushButton& okButton() { return *ok_; }

  private:
    void browseFile();
    void browseFolder();
    // The boxes of the mode not chosen are off; OK needs a name for the mode chosen.
    void update();

    QRadioButton* fileMode_ = nullptr;
    QRadioButton* folderMode_ = nullptr;
    QLineEdit* file_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QWidget* fileRow_ = nullptr;
    QWidget* folderRows_ = nullptr;
    QSpinBox* minutes_ = nullptr;
    QSpinBox* megabytes_ = nullptr;
    QSpinBox* days_ = nullptr;
    QSpinBox* gigabytes_ = nullptr;
    QComboBox* compression_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace corvane
