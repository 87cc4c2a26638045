#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/RvcMessage.h"
#include "script/DatumSelector.h"
#include "script/ValueFormat.h"

namespace corvane {

// A script variable. The variable list owns every datum and guards them all with its lock:
// the dispatching thread writes received values, the user-interface thread reads and runs
// commands, and neither touches a datum without holding that lock.
class RVCDatum {
  public:
    static constexpr uint32_t kNoDgn = 0xFFFFFFFF;
    static constexpr uint8_t kAnyInstance = 0xFF;

    RVCDatum() = default;
    virtual ~RVCDatum() = default;
    RVCDatum(const RVCDatum&) = delete;
    RVCDatum& operator=(const RVCDatum&) = delete;

    // The value as text: by selector and format kind; a datum without selector shows its title.
    virtual std::string ValueText() const;
    // The datum's line in the script window's variable list.
    virtual std::string DisplayLine() const;
    virtual void Increment() {}
    virtual void Zero() {}
    virtual void Reset() {}
    // raw x multiplier + offset, in single precision: what the graph plots.
    virtual float Value() const;
    // The five formula updates, given the formula's fresh result; other datums ignore them.
    virtual void Update(double /*result*/) {}
    virtual void UpdateMin(double /*result*/) {}
    virtual void UpdateMax(double /*result*/) {}
    virtual void UpdateMean(double /*result*/) {}
    virtual void UpdateSum(double /*result*/) {}

    // Takes the value from a message whose DGN and instances match. A data byte the message
    // does not hold reads 0xFF (not available), so such a value is never taken.
    void UpdateFromMessage(const RvcMessage& message);

    // raw x multiplier + offset in double precision, the number value texts show.
    double ScaledValue() const;

    std::string title;  // MONITOR: title; CONSTANT: value; BUTTON: legend
    std::string name;   // upper case; empty for buttons
    std::string command;
    std::string format;
    FormatKind formatKind = FormatKind::Printf;
    uint32_t dgn = kNoDgn;
    uint8_t instance = kAnyInstance;
    uint8_t secondaryInstance = kAnyInstance;
    uint8_t selector = selector::kNone;
    int byteIndex = 0;
    int bitShift = 0;
    double multiplier = 1.0;
    double offset = 0.0;
    uint32_t raw = 0;
    std::array<uint8_t, 8> packet{};
    int32_t updates = 0;
    int32_t changed = 0;
    int32_t visible = 0;
};

}  // namespace corvane
