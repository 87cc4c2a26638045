#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/FtDriver.h"

namespace corvane {

// The driver layer over libftdi1, for real FT-series adapters on the USB bus. Each open
// device has a libftdi context of its own. libftdi has no receive notification, so the
// bytes a read brings in are kept per device until read() takes them, and waitForReceive
// polls in short reads until something arrives.
class LibFtdiDriver final : public FtDriver {
  public:
    LibFtdiDriver();
    ~LibFtdiDriver() override;
    LibFtdiDriver(const LibFtdiDriver&) = delete;
    LibFtdiDriver& operator=(const LibFtdiDriver&) = delete;

    Status deviceCount(uint32_t& count) override;
    Status descriptions(std::vector<std::string>& out) override;
    Status serialNumber(uint32_t index, std::string& out) override;
    Status openBySerialNumber(const std::string& serial, Handle& handle) override;
    Status resetDevice(Handle handle) override;
    Status purge(Handle handle, uint32_t buffers) override;
    Status setTimeouts(Handle handle, uint32_t readMs, uint32_t writeMs) override;
    Status setUsbParameters(Handle handle, uint32_t inTransferSize,
                            uint32_t outTransferSize) override;
    Status setLatencyTimer(Handle handle, uint8_t ms) override;
    Status waitForReceive(Handle handle, int timeoutMs) override;
    Status status(Handle handle, uint32_t& bytesWaiting) override;
    Status read(Handle handle, std::span<uint8_t> buffer, uint32_t& bytesRead) override;
    Status write(Handle handle, std::span<const uint8_t> bytes, uint32_t& bytesWritten) override;
    Status close(Handle handle) override;

  private:
    struct Device;
    struct Listed {
        std::string description;
        std::string serial;
    };

    // Lists the FTDI devices on the bus with their strings.
    Status list(std::vector<Listed>& out);
    std::shared_ptr<Device> find(Handle handle);

    std::mutex mutex_;  // guards devices_ and nextHandle_
    std::map<Handle, std::shared_ptr<Device>> devices_;
    Handle nextHandle_ = 1;
};

}  // namespace corvane
