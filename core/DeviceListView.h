#pragma once

namespace corvane {

// Whatever shows the device list: rebuilt from the device table while intake is diverted.
class DeviceListView {
  public:
    virtual ~DeviceListView() = default;
    virtual void rebuildDeviceList() = 0;
};

}  // namespace corvane
