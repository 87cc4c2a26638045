#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "script/RVCDatum.h"

namespace corvane {

// A formula variable (FORMULA name {expression}): holds the last result of its reverse-Polish
// expression, recalculated only by the UPDATE commands, which hand the fresh result in.
class RVCDatumFormula final : public RVCDatum {
  public:
    static std::unique_ptr<RVCDatumFormula> FromArguments(std::string_view arguments);

    std::string ValueText() const override;    // "N/D" until the first result
    std::string DisplayLine() const override;  // TAB value
    void Zero() override;
    void Reset() override { Zero(); }
    // The result itself, so that a graph of a formula follows it (0 before the first result).
    float Value() const override;
    void Update(double result) override;
    void UpdateMin(double result) override;
    void UpdateMax(double result) override;
    void UpdateMean(double result) override;
    void UpdateSum(double result) override;

    double value = 0.0;
    int32_t count = 0;
    std::string expression;
};

}  // namespace corvane
