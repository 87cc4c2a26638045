#pragma once

#include "modules/ModuleTest.h"

namespace corvane {

// Compares the node's model with WildcardEquals.
class ModuleTestModel : public ModuleTest {
  public:
    ModuleTestModel(std::string pattern, int32_t& result);
    const std::string& selectValue(const RVCNode& node) const override;

  protected:
    ModuleTestModel(std::string pattern, int32_t& result, Compare compare);
};

}  // namespace corvane
