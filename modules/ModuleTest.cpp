#include "modules/ModuleTest.h"

#include <memory>

#include "modules/GrepSearch.h"
#include "modules/WildcardEquals.h"

namespace corvane {

ModuleTest::ModuleTest(std::string pattern, int32_t& result)
    : pattern_(std::move(pattern)), result_(result) {
    compare_ = [p = pattern_](const std::string& text) { return WildcardEquals(p, text); };
}

ModuleTest::ModuleTest(std::string pattern, int32_t& result, Compare compare)
    : pattern_(std::move(pattern)), result_(result), compare_(std::move(compare)) {}

ModuleTest::Compare ModuleTest::grepCompare(const std::string& pattern) {
    auto compiled = std::make_shared<const std::optional<std::regex>>(CompileGrep(pattern));
    return [compiled](const std::string& text) { return GrepSearch(*compiled, text); };
}

bool ModuleTest::evaluate(const RVCNode& node) {
    bool matched = compare_(selectValue(node));
    result_ |= matched ? 2 : 1;
    return matched;
}

}  // namespace corvane
