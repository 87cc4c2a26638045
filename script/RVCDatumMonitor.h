#pragma once

#include <memory>
#include <string_view>

#include "script/DatumDefinition.h"
#include "script/RVCDatum.h"

namespace corvane {

// A received-data field (DEFINE, MONITOR): takes its value from matching messages.
class RVCDatumMonitor final : public RVCDatum {
  public:
    // DEFINE creates an invisible field, MONITOR a visible one; both start at "not available".
    static std::unique_ptr<RVCDatumMonitor> FromDefinition(const DatumDefinition& definition,
                                                           bool visibleInList);

    std::string DisplayLine() const override;  // title TAB value TAB updates
    void Zero() override;
    void Reset() override;
};

}  // namespace corvane
