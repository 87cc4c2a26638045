#include "modules/ModuleTestModel.h"

namespace corvane {

ModuleTestModel::ModuleTestModel(std::string pattern, int32_t& result)
    : ModuleTest(std::move(pattern), result) {}

ModuleTestModel::ModuleTestModel(std::string pattern, int32_t& result, Compare compare)
    : ModuleTest(std::move(pattern), result, std::move(compare)) {}

const std::string& ModuleTestModel::selectValue(const RVCNode& node) const { return node.model; }

}  // namespace corvane
