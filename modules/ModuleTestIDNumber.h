#pragma once

#include "modules/ModuleTest.h"

namespace corvane {

// Compares the node's ID number with WildcardEquals.
class ModuleTestIDNumber : public ModuleTest {
  public:
    ModuleTestIDNumber(std::string pattern, int32_t& result);
    const std::string& selectValue(const RVCNode& node) const override;

  protected:
    ModuleTestIDNumber(std::string pattern, int32_t& result, Compare compare);
};

}  // namespace corvane
