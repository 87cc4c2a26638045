#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;

namespace corvane {

class DeviceTable;
class ModuleDialogs;

// "Device Compare": the report of a device list comparison in a fixed-pitch font, so that its
// columns line up, and a "Done" button.
class DeviceCompareDlg final : public QDialog {
    Q_OBJECT
  public:
    explicit DeviceCompareDlg(const std::string& text, QWidget* parent = nullptr);
    QPlainTextEdit* report() const { return report_; }

  private:
    QPlainTextEdit* report_;
};

// Compares the file at `path` with the table and shows the report modally. A file that cannot
// be read gets "Failed to load file." / "File Error" first, then an empty window.
void ShowDeviceListComparison(const std::string& path, const DeviceTable& table,
                              ModuleDialogs& dialogs, QWidget* parent = nullptr);

}  // namespace corvane
