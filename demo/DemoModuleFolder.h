#pragma once

#include <string>

namespace corvane {

// Where `corvane --demo` finds the example modules without being told: beside the program, in
// an installed tree (<prefix>/bin/corvane -> <prefix>/lib/corvane/demo-modules, where the
// package puts them since the example module program is among them; or
// <prefix>/share/corvane/demo-modules) or in a build tree (build/app/corvane ->
// build/demo-modules).
class DemoModuleFolder {
  public:
    static constexpr const char* kFolderName = "demo-modules";

    // The first of those folders that exists, for the folder that holds the program; empty
    // when there is none (the demo then runs with the usual module folder).
    static std::string find(const std::string& programFolder);
};

}  // namespace corvane
