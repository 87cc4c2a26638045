#include "modules/ModuleTestSerialNumberGrep.h"

namespace corvane {

ModuleTestSerialNumberGrep::ModuleTestSerialNumberGrep(const std::string& pattern, int32_t& result)
    : ModuleTestSerialNumber(pattern, result, grepCompare(pattern)) {}

}  // namespace corvane
