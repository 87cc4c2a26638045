#pragma once

#include <cstdint>

namespace corvane {

// An adapter that can change its CAN data rate while connected, without reconnecting.
class DataRateCommand {
  public:
    virtual ~DataRateCommand() = default;
    // `rate` is a TarvikBaudRate value: 2 for 250 kbit/s, 1 for 500 kbit/s.
    virtual void sendDataRate(int32_t rate) = 0;
};

}  // namespace corvane
