#include "tests/support/FreshFolders.h"

#include <cstdlib>

namespace corvane::test {

FreshFolders::FreshFolders() {
    setenv("CORVANE_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
    setenv("CORVANE_CONFIG_DIR", config_.path().toLocal8Bit().constData(), 1);
}

FreshFolders::~FreshFolders() {
    unsetenv("CORVANE_RUNTIME_DIR");
    unsetenv("CORVANE_CONFIG_DIR");
}

bool FreshFolders::valid() const {
    return runtime_.isValid() && config_.isValid() && scratch_.isValid();
}

std::string FreshFolders::runtime() const { return runtime_.path().toStdString(); }

std::string FreshFolders::config() const { return config_.path().toStdString(); }

std::string FreshFolders::scratch(const std::string& name) const {
    const std::string folder = scratch_.path().toStdString();
    return name.empty() ? folder : folder + "/" + name;
}

}  // namespace corvane::test
