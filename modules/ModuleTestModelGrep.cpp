#include "modules/ModuleTestModelGrep.h"

namespace corvane {

ModuleTestModelGrep::ModuleTestModelGrep(const std::string& pattern, int32_t& result)
    : ModuleTestModel(pattern, result, grepCompare(pattern)) {}

}  // namespace corvane
