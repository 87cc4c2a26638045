#pragma once

#include <QTemporaryDir>
#include <string>

namespace corvane::test {

// Fresh runtime and settings folders for one test (mailslots, the instance lock, the settings
// file), named by CORVANE_RUNTIME_DIR and CORVANE_CONFIG_DIR while the object lives, and a
// scratch folder for the test's own files. All three go with it.
class FreshFolders {
  public:
    FreshFolders();
    ~FreshFolders();
    FreshFolders(const FreshFolders&) = delete;
    FreshFolders& operator=(const FreshFolders&) = delete;

    bool valid() const;
    std::string runtime() const;
    std::string config() const;
    std::string settingsFile() const { return config() + "/Corvane.ini"; }
    // The scratch folder, or a file of that name in it.
    std::string scratch(const std::string& name = {}) const;

  private:
    QTemporaryDir runtime_;
    QTemporaryDir config_;
    QTemporaryDir scratch_;
};

}  // namespace corvane::test
