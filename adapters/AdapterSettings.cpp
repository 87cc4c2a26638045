#include "adapters/AdapterSettings.h"

namespace corvane {

AdapterSettings::AdapterSettings(SettingsStore& store)
    : adapterType_(store, "Corvane", "AdapterType", kVexorSeries),
      dataRate_(store, "Corvane", "TarvikBaudRate", kRate250k),
      autoStart_(store, "Corvane", "TarvikAutoStart", 1) {}

}  // namespace corvane
