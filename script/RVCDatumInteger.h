#pragma once

#include <memory>
#include <string_view>

#include "script/RVCDatum.h"

namespace corvane {

// A counter (COUNTER name): a 16-bit word that INCREMENT counts up, so from 65531 on it shows
// "Err" and at 65535 "N/D", like any word received from the network.
class RVCDatumInteger final : public RVCDatum {
  public:
    static std::unique_ptr<RVCDatumInteger> FromArguments(std::string_view arguments);

    std::string DisplayLine() const override;  // name TAB value
    void Increment() override;
    void Zero() override;
    void Reset() override { Zero(); }
};

}  // namespace corvane
