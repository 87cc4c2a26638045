#pragma once

#include <memory>
#include <string_view>

#include "script/RVCDatum.h"

namespace corvane {

// A button (BUTTON "legend" [command]): a line in the variable list that runs its command
// when clicked. It has no name.
class RVCDatumButton final : public RVCDatum {
  public:
    static std::unique_ptr<RVCDatumButton> FromArguments(std::string_view arguments);

    std::string DisplayLine() const override;  // "[ legend ]"
};

}  // namespace corvane
