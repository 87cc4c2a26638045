#pragma once

#include "modules/ModuleTestSerialNumber.h"

namespace corvane {

// The serial number test that searches with the grep grammar.
class ModuleTestSerialNumberGrep : public ModuleTestSerialNumber {
  public:
    ModuleTestSerialNumberGrep(const std::string& pattern, int32_t& result);
};

}  // namespace corvane
