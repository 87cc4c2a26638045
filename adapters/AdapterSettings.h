#pragma once

#include "platform/IntegerSetting.h"
#include "platform/SettingsStore.h"

namespace corvane {

// The three options shared by the adapters and the adapter selection, created once at
// start-up before the adapters. Set on the user-interface thread (the serial adapter also
// saves the rate its hardware reports); read from any thread.
class AdapterSettings {
  public:
    static constexpr int32_t kFtSeries = 1;
    static constexpr int32_t kVexorSeries = 2;
    static constexpr int32_t kRate500k = 1;
    static constexpr int32_t kRate250k = 2;

    explicit AdapterSettings(SettingsStore& store);

    // "AdapterType": the adapter of the USB connect command, 1 FT series, 2 Vexor series.
    IntegerSetting& adapterType() { return adapterType_; }
    // "TarvikBaudRate": 2 is 250 kbit/s, 1 is 500 kbit/s (the FT series also knows 0 and 3).
    IntegerSetting& dataRate() { return dataRate_; }
    // "TarvikAutoStart": "Connect on Startup".
    IntegerSetting& autoStart() { return autoStart_; }

  private:
    IntegerSetting adapterType_;
    IntegerSetting dataRate_;
    IntegerSetting autoStart_;
};

}  // namespace corvane
