#pragma once

#include <memory>
#include <string_view>

#include "script/RVCDatum.h"

namespace corvane {

// A constant (CONSTANT name "value"): the value is held as the title and is its value text.
class RVCDatumConstant final : public RVCDatum {
  public:
    static std::unique_ptr<RVCDatumConstant> FromArguments(std::string_view arguments);

    std::string DisplayLine() const override;  // name TAB value
};

}  // namespace corvane
