#pragma once

#include "modules/ModuleTest.h"

namespace corvane {

// The make test that searches with the grep grammar.
class ModuleTestMakeGrep : public ModuleTest {
  public:
    ModuleTestMakeGrep(const std::string& pattern, int32_t& result);
};

}  // namespace corvane
