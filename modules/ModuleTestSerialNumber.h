#pragma once

#include "modules/ModuleTest.h"

namespace corvane {

// Compares the node's serial number with WildcardEquals.
class ModuleTestSerialNumber : public ModuleTest {
  public:
    ModuleTestSerialNumber(std::string pattern, int32_t& result);
    const std::string& selectValue(const RVCNode& node) const override;

  protected:
    ModuleTestSerialNumber(std::string pattern, int32_t& result, Compare compare);
};

}  // namespace corvane
