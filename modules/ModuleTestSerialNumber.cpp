#include "modules/ModuleTestSerialNumber.h"

namespace corvane {

ModuleTestSerialNumber::ModuleTestSerialNumber(std::string pattern, int32_t& result)
    : ModuleTest(std::move(pattern), result) {}

ModuleTestSerialNumber::ModuleTestSerialNumber(std::string pattern, int32_t& result,
                                               Compare compare)
    : ModuleTest(std::move(pattern), result, std::move(compare)) {}

const std::string& ModuleTestSerialNumber::selectValue(const RVCNode& node) const {
    return node.serialNumber;
}

}  // namespace corvane
