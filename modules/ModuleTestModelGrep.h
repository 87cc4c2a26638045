#pragma once

#include "modules/ModuleTestModel.h"

namespace corvane {

// The model test that searches with the grep grammar.
class ModuleTestModelGrep : public ModuleTestModel {
  public:
    ModuleTestModelGrep(const std::string& pattern, int32_t& result);
};

}  // namespace corvane
