#include "modules/ModuleTestIDNumberGrep.h"

namespace corvane {

ModuleTestIDNumberGrep::ModuleTestIDNumberGrep(const std::string& pattern, int32_t& result)
    : ModuleTestIDNumber(pattern, result, grepCompare(pattern)) {}

}  // namespace corvane
