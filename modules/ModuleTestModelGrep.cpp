#include "modules/ModuleTestModelGrep.h"

namespace corvane {

ModuleTestModelGrep::ModuleTestModelGrep(std::string pattern, int32_t& result)
    : ModuleTestModel(pattern, result, grepCompare(pattern)) {}

}  // namespace corvane
