#pragma once

#include "modules/ModuleTestIDNumber.h"

namespace corvane {

// The ID number test that searches with the grep grammar.
class ModuleTestIDNumberGrep : public ModuleTestIDNumber {
  public:
    ModuleTestIDNumberGrep(const std::string& pattern, int32_t& result);
};

}  // namespace corvane
