#pragma once

#include <string>

namespace corvane {

// The release of the tool. Every program reports it (--version), and so do the About box and
// the main window's title: change the numbers here and nowhere else.
class ProgramVersion {
  public:
    static constexpr int kMajor = 2;
    static constexpr int kMinor = 3;
    static constexpr int kBuild = 1;

    // "2.3 build 1"
    static std::string text();
};

}  // namespace corvane
