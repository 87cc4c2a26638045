#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvane {

// The FTDI driver layer the FT-series adapter is reached through: find devices by their USB
// description, open one by serial number, set it up, and move bytes. Backends: libftdi1 for
// real adapters, and the firmware emulator of sim/ for tests and the demo.
//
// Every operation returns a status (kOk or one of the codes below, the driver's own numbering,
// which the adapter shows the user in its messages). Handles are opaque; kNoHandle is never a
// valid one.
//
// Threads: one thread opens, sets up and closes a handle; once open, one reader thread may
// wait, ask the status and read while any thread writes. Listing may happen at any time.
class FtDriver {
  public:
    using Status = uint32_t;
    using Handle = uint32_t;

    static constexpr Status kOk = 0;
    static constexpr Status kInvalidHandle = 1;
    static constexpr Status kDeviceNotFound = 2;
    static constexpr Status kDeviceNotOpened = 3;
    static constexpr Status kIoError = 4;
    static constexpr Status kInsufficientResources = 5;
    static constexpr Status kInvalidParameter = 6;
    static constexpr Status kOtherError = 18;

    static constexpr Handle kNoHandle = 0;

    // Buffers purge() empties; both may be given at once.
    static constexpr uint32_t kPurgeReceive = 1;
    static constexpr uint32_t kPurgeTransmit = 2;

    virtual ~FtDriver() = default;

    // How many devices the driver sees.
    virtual Status deviceCount(uint32_t& count) = 0;
    // Every device's USB description, by index (at most 63 characters each).
    virtual Status descriptions(std::vector<std::string>& out) = 0;
    // The serial number of the device at `index` of the listing.
    virtual Status serialNumber(uint32_t index, std::string& out) = 0;
    virtual Status openBySerialNumber(const std::string& serial, Handle& handle) = 0;

    virtual Status resetDevice(Handle handle) = 0;
    virtual Status purge(Handle handle, uint32_t buffers) = 0;
    virtual Status setTimeouts(Handle handle, uint32_t readMs, uint32_t writeMs) = 0;
    virtual Status setUsbParameters(Handle handle, uint32_t inTransferSize,
                                    uint32_t outTransferSize) = 0;
    virtual Status setLatencyTimer(Handle handle, uint8_t ms) = 0;

    // Stands in for the driver's receive notification: returns as soon as bytes are waiting,
    // or after `timeoutMs` without any. A status other than kOk means the device is gone.
    virtual Status waitForReceive(Handle handle, int timeoutMs) = 0;
    // The device's status: the bytes waiting to be read.
    virtual Status status(Handle handle, uint32_t& bytesWaiting) = 0;
    // Reads what is waiting, at most buffer.size() bytes, without waiting for more.
    virtual Status read(Handle handle, std::span<uint8_t> buffer, uint32_t& bytesRead) = 0;
    virtual Status write(Handle handle, std::span<const uint8_t> bytes, uint32_t& bytesWritten) = 0;
    virtual Status close(Handle handle) = 0;
};

}  // namespace corvane
