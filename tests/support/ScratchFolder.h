#pragma once

#include <string>

namespace corvane::test {

// A fresh folder under the system's temporary folder for one test's files, removed with its
// contents when the object goes. Qt-free, so every suite can use it.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // path()/name, not created.
    std::string file(const std::string& name) const;
    // Writes `text` to path()/relative, making folders as needed; returns the full path.
    std::string write(const std::string& relative, const std::string& text) const;

  private:
    std::string path_;
};

}  // namespace corvane::test
