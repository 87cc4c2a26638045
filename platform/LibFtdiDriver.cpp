#include "platform/LibFtdiDriver.h"

#include <ftdi.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace corvane {

namespace {

constexpr int kDescriptionSize = 64;
constexpr int kSerialSize = 64;
constexpr int kManufacturerSize = 128;
constexpr size_t kReadChunk = 4096;
constexpr auto kPollInterval = std::chrono::milliseconds(1);
// What a read may hold back for the caller; more is a reader that stopped reading.
constexpr size_t kPendingLimit = 65536;

// A libftdi context for the lifetime of a scope.
struct Context {
    Context() : ftdi(ftdi_new()) {}
    ~Context() {
        if (ftdi != nullptr) ftdi_free(ftdi);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ftdi_context* ftdi;
};

}  // namespace

// One open device. ioMutex serialises every call into its context: libftdi keeps transfer
// state in the context, so a read and a write must not overlap in it.
struct LibFtdiDriver::Device {
    Context context;
    std::mutex ioMutex;            // guards context and pending
    std::vector<uint8_t> pending;  // bytes read from the device, not yet taken by read()
    bool failed = false;           // a transfer failed: the device is gone
};

LibFtdiDriver::LibFtdiDriver() = default;

LibFtdiDriver::~LibFtdiDriver() {
    std::lock_guard lock(mutex_);
    for (auto& [handle, device] : devices_) {
        std::lock_guard io(device->ioMutex);
        ftdi_usb_close(device->context.ftdi);
    }
    devices_.clear();
}

FtDriver::Status LibFtdiDriver::list(std::vector<Listed>& out) {
    out.clear();
    Context context;
    if (context.ftdi == nullptr) return kInsufficientResources;
    ftdi_device_list* devices = nullptr;
    // Vendor and product 0: every FTDI device of the common product ids.
    int found = ftdi_usb_find_all(context.ftdi, &devices, 0, 0);
    if (found < 0) return kOtherError;
    for (ftdi_device_list* d = devices; d != nullptr; d = d->next) {
        char manufacturer[kManufacturerSize] = {};
        char description[kDescriptionSize] = {};
        char serial[kSerialSize] = {};
        // A device whose strings cannot be read (busy, no permission) stays in the list with
        // empty strings, so that indices keep matching the device count.
        ftdi_usb_get_strings(context.ftdi, d->dev, manufacturer, kManufacturerSize, description,
                             kDescriptionSize, serial, kSerialSize);
        out.push_back(Listed{description, serial});
    }
    ftdi_list_free(&devices);
    return kOk;
}

FtDriver::Status LibFtdiDriver::deviceCount(uint32_t& count) {
    count = 0;
    std::vector<Listed> listed;
    Status s = list(listed);
    if (s == kOk) count = static_cast<uint32_t>(listed.size());
    return s;
}

FtDriver::Status LibFtdiDriver::descriptions(std::vector<std::string>& out) {
    out.clear();
    std::vector<Listed> listed;
    Status s = list(listed);
    for (auto& l : listed) out.push_back(l.description);
    return s;
}

FtDriver::Status LibFtdiDriver::serialNumber(uint32_t index, std::string& out) {
    out.clear();
    std::vector<Listed> listed;
    Status s = list(listed);
    if (s != kOk) return s;
    if (index >= listed.size()) return kDeviceNotFound;
    out = listed[index].serial;
    return kOk;
}

FtDriver::Status LibFtdiDriver::openBySerialNumber(const std::string& serial, Handle& handle) {
    handle = kNoHandle;
    auto device = std::make_shared<Device>();
    if (device->context.ftdi == nullptr) return kInsufficientResources;

    Context lister;
    if (lister.ftdi == nullptr) return kInsufficientResources;
    ftdi_device_list* devices = nullptr;
    if (ftdi_usb_find_all(lister.ftdi, &devices, 0, 0) < 0) return kDeviceNotFound;
    Status result = kDeviceNotFound;
    for (ftdi_device_list* d = devices; d != nullptr; d = d->next) {
        char manufacturer[kManufacturerSize] = {};
        char description[kDescriptionSize] = {};
        char found[kSerialSize] = {};
        if (ftdi_usb_get_strings(lister.ftdi, d->dev, manufacturer, kManufacturerSize, description,
                                 kDescriptionSize, found, kSerialSize) < 0 ||
            serial != found) {
            continue;
        }
        result = ftdi_usb_open_dev(device->context.ftdi, d->dev) < 0 ? kDeviceNotOpened : kOk;
        break;
    }
    ftdi_list_free(&devices);
    if (result != kOk) return result;

    std::lock_guard lock(mutex_);
    handle = nextHandle_++;
    if (nextHandle_ == kNoHandle) nextHandle_ = 1;
    devices_[handle] = std::move(device);
    return kOk;
}

std::shared_ptr<LibFtdiDriver::Device> LibFtdiDriver::find(Handle handle) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(handle);
    return it == devices_.end() ? nullptr : it->second;
}

FtDriver::Status LibFtdiDriver::resetDevice(Handle handle) {
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    return ftdi_usb_reset(d->context.ftdi) < 0 ? kIoError : kOk;
}

FtDriver::Status LibFtdiDriver::purge(Handle handle, uint32_t buffers) {
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    if ((buffers & kPurgeReceive) != 0) {
        d->pending.clear();
        if (ftdi_tciflush(d->context.ftdi) < 0) return kIoError;
    }
    if ((buffers & kPurgeTransmit) != 0 && ftdi_tcoflush(d->context.ftdi) < 0) return kIoError;
    return kOk;
}

FtDriver::Status LibFtdiDriver::setTimeouts(Handle handle, uint32_t readMs, uint32_t writeMs) {
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    // The read time-out bounds one USB transfer; read() itself never waits for more bytes.
    d->context.ftdi->usb_read_timeout = static_cast<int>(std::min<uint32_t>(readMs, 60000));
    d->context.ftdi->usb_write_timeout = static_cast<int>(std::min<uint32_t>(writeMs, 60000));
    return kOk;
}

FtDriver::Status LibFtdiDriver::setUsbParameters(Handle handle, uint32_t inTransferSize,
                                                 uint32_t outTransferSize) {
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    if (ftdi_read_data_set_chunksize(d->context.ftdi, inTransferSize) < 0 ||
        ftdi_write_data_set_chunksize(d->context.ftdi, outTransferSize) < 0) {
        return kInvalidParameter;
    }
    return kOk;
}

FtDriver::Status LibFtdiDriver::setLatencyTimer(Handle handle, uint8_t ms) {
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    return ftdi_set_latency_timer(d->context.ftdi, ms) < 0 ? kIoError : kOk;
}

FtDriver::Status LibFtdiDriver::status(Handle handle, uint32_t& bytesWaiting) {
    bytesWaiting = 0;
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    if (d->failed) return kIoError;
    if (d->pending.size() < kPendingLimit) {
        uint8_t chunk[kReadChunk];
        int n = ftdi_read_data(d->context.ftdi, chunk, static_cast<int>(sizeof chunk));
        if (n < 0) {
            d->failed = true;
            return kIoError;
        }
        d->pending.insert(d->pending.end(), chunk, chunk + n);
    }
    bytesWaiting = static_cast<uint32_t>(d->pending.size());
    return kOk;
}

FtDriver::Status LibFtdiDriver::waitForReceive(Handle handle, int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        uint32_t waiting = 0;
        Status s = status(handle, waiting);
        if (s != kOk || waiting > 0) return s;
        if (std::chrono::steady_clock::now() >= until) return kOk;
        std::this_thread::sleep_for(kPollInterval);
    }
}

FtDriver::Status LibFtdiDriver::read(Handle handle, std::span<uint8_t> buffer,
                                     uint32_t& bytesRead) {
    bytesRead = 0;
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    if (d->failed) return kIoError;
    size_t n = std::min(buffer.size(), d->pending.size());
    std::copy_n(d->pending.begin(), n, buffer.begin());
    d->pending.erase(d->pending.begin(), d->pending.begin() + static_cast<std::ptrdiff_t>(n));
    bytesRead = static_cast<uint32_t>(n);
    return kOk;
}

FtDriver::Status LibFtdiDriver::write(Handle handle, std::span<const uint8_t> bytes,
                                      uint32_t& bytesWritten) {
    bytesWritten = 0;
    auto d = find(handle);
    if (!d) return kInvalidHandle;
    std::lock_guard io(d->ioMutex);
    if (d->failed) return kIoError;
    int n = ftdi_write_data(d->context.ftdi, bytes.data(), static_cast<int>(bytes.size()));
    if (n < 0) {
        d->failed = true;
        return kIoError;
    }
    bytesWritten = static_cast<uint32_t>(n);
    return kOk;
}

FtDriver::Status LibFtdiDriver::close(Handle handle) {
    std::shared_ptr<Device> d;
    {
        std::lock_guard lock(mutex_);
        auto it = devices_.find(handle);
        if (it == devices_.end()) return kInvalidHandle;
        d = std::move(it->second);
        devices_.erase(it);
    }
    std::lock_guard io(d->ioMutex);
    ftdi_usb_close(d->context.ftdi);
    return kOk;
}

}  // namespace corvane
