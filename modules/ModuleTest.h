#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/RVCNode.h"

namespace corvane {

// One make, model, serial-number or ID condition of a module. This base class tests the make
// by WildcardEquals; subclasses choose another text of the node or search with the grep
// grammar. `result` is the owning module's result for the test's category: each evaluation
// ORs in 2 on a match and 1 otherwise, so a test and its grep twin share one outcome.
class ModuleTest {
  public:
    ModuleTest(std::string pattern, int32_t& result);
    virtual ~ModuleTest() = default;
    ModuleTest(const ModuleTest&) = delete;
    ModuleTest& operator=(const ModuleTest&) = delete;

    bool evaluate(const RVCNode& node);
    virtual const std::string& selectValue(const RVCNode& node) const { return node.make; }
    const std::string& pattern() const { return pattern_; }

  protected:
    using Compare = std::function<bool(const std::string& text)>;
    ModuleTest(std::string pattern, int32_t& result, Compare compare);
    // A comparison that searches with the pattern in the grep grammar, compiled once.
    static Compare grepCompare(const std::string& pattern);

  private:
    std::string pattern_;
    int32_t& result_;
    Compare compare_;
};

}  // namespace corvane
