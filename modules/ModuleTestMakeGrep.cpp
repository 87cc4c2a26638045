#include "modules/ModuleTestMakeGrep.h"

namespace corvane {

ModuleTestMakeGrep::ModuleTestMakeGrep(const std::string& pattern, int32_t& result)
    : ModuleTest(pattern, result, grepCompare(pattern)) {}

}  // namespace corvane
