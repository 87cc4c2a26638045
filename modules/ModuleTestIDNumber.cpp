#include "modules/ModuleTestIDNumber.h"

namespace corvane {

ModuleTestIDNumber::ModuleTestIDNumber(std::string pattern, int32_t& result)
    : ModuleTest(std::move(pattern), result) {}

ModuleTestIDNumber::ModuleTestIDNumber(std::string pattern, int32_t& result, Compare compare)
    : ModuleTest(std::move(pattern), result, std::move(compare)) {}

const std::string& ModuleTestIDNumber::selectValue(const RVCNode& node) const {
    return node.idNumber;
}

}  // namespace corvane
