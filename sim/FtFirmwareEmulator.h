#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/RvcFrame.h"
#include "platform/FtDriver.h"
#include "sim/SimulatedVehicle.h"

namespace corvane::sim {

// An FT-series USB-CAN adapter behind the FTDI driver layer, with its firmware: it lists the
// configured devices, opens one by serial number (one at a time) and speaks the adapter's side
// of the framed link on it.
//
// Firmware: after power-on it answers the state command (0x80) with 0x55 until the start
// command (0xD2) starts it; from then on with 0xCC. A data-rate command (0xB0-0xB3) puts it on
// the bus: frames of the attached vehicle go to the tool in real time, with the vehicle's
// millisecond as timestamp, and frames the tool transmits go to the vehicle. The stop command
// (0x93) is answered and takes the firmware back to its power-on state. Unknown commands and
// the data rate before the start go unanswered.
//
// Thread-safe: the tool's reader thread, its writers and the test's controls may all call in
// at once. The vehicle is advanced on whichever thread asks for the device status.
class FtFirmwareEmulator final : public FtDriver {
  public:
    struct Device {
        std::string description;
        std::string serialNumber;
    };

    static constexpr const char* kDescription = "USB-CAN Interface (emulated)";
    static constexpr const char* kSerialNumber = "TV2600001";
    // Bytes the device holds for the tool; further frames are lost, as on the real device.
    static constexpr size_t kReceiveBufferLimit = 65536;

    struct Options {
        // The devices the driver lists, by index. Any of them opens onto the one firmware.
        std::vector<Device> devices = {{kDescription, kSerialNumber}};
        // State answers of 0x55 the firmware gives before a start command takes effect.
        int notStartedAnswers = 1;
        // Running at power-on: the first state answer is 0xCC.
        bool runningAtPowerOn = false;
        // The start command is ignored: the firmware answers 0x55 for ever.
        bool neverStarts = false;
        // Nothing is ever answered or sent: a firmware that hangs.
        bool neverAnswers = false;
    };

    // `vehicle` may be null: then only injected traffic reaches the tool.
    explicit FtFirmwareEmulator(SimulatedVehicle* vehicle = nullptr);
    FtFirmwareEmulator(SimulatedVehicle* vehicle, Options options);
    ~FtFirmwareEmulator() override = default;
    FtFirmwareEmulator(const FtFirmwareEmulator&) = delete;
    FtFirmwareEmulator& operator=(const FtFirmwareEmulator&) = delete;

    // The driver layer.
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

    // Controls.
    // Sends a payload to the tool, framed as the firmware frames everything.
    void injectPayload(std::span<const uint8_t> payload);
    // Puts raw bytes on the link to the tool, unframed: noise, cut or forged messages.
    void injectLinkBytes(std::span<const uint8_t> bytes);
    // The next message to the tool goes out with a wrong checksum.
    void corruptNextChecksum();
    // The device leaves the bus: it is no longer listed and every call on its handle fails.
    void unplug();
    // Plugged in again, at power-on state.
    void plugIn();
    // The firmware hangs: the device stays listed and its handle keeps working, but nothing is
    // answered and no frame reaches the tool any more. Unplugging and plugging in recovers.
    void hang();

    // Observations.
    // Command codes received, in order.
    std::vector<uint8_t> commands() const;
    // Every byte the tool wrote, in order (the first megabyte).
    std::vector<uint8_t> bytesFromTool() const;
    // Frames the tool transmitted (the last 10000), timestamps 0.
    std::vector<RvcFrame> framesFromTool() const;
    // The last data-rate command, if one was received after the start.
    std::optional<uint8_t> dataRateCommand() const;
    bool started() const;
    bool isOpen() const;
    // Serial number the tool opened last.
    std::string openedSerialNumber() const;
    uint64_t framesToTool() const { return framesToTool_.load(std::memory_order_relaxed); }
    uint64_t framesLost() const { return framesLost_.load(std::memory_order_relaxed); }

  private:
    // Tool-to-adapter framing, the firmware's own reading of it.
    class LinkReader {
      public:
        static constexpr size_t kLimit = 64;  // the longest message the tool sends, with room
        std::optional<std::vector<uint8_t>> push(uint8_t byte);

      private:
        int state_ = 0;
        std::vector<uint8_t> buffer_;
        bool overflow_ = false;
    };

    Status checkLocked(Handle handle) const;
    void powerOnLocked();
    void handlePayloadLocked(const std::vector<uint8_t>& payload);
    void handleCommandLocked(uint8_t code);
    void handleTransmitLocked(const std::vector<uint8_t>& payload);
    void sendLocked(std::span<const uint8_t> payload);
    void queueFrameLocked(const RvcFrame& frame);
    void pumpVehicleLocked();

    SimulatedVehicle* vehicle_;
    const Options options_;

    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable received_;
    bool plugged_ = true;
    Handle openHandle_ = kNoHandle;
    Handle nextHandle_ = 1;
    std::string openedSerial_;
    LinkReader reader_;
    std::deque<uint8_t> toTool_;
    bool corruptNext_ = false;
    bool hung_ = false;

    bool started_ = false;
    bool onBus_ = false;
    int notStartedAnswersGiven_ = 0;
    std::optional<uint8_t> dataRate_;
    // Vehicle time at the moment the bus came on, and that moment.
    int64_t busVehicleStart_ = 0;
    std::chrono::steady_clock::time_point busStart_{};

    std::vector<uint8_t> commands_;
    std::vector<uint8_t> bytesFromTool_;
    std::deque<RvcFrame> framesFromTool_;

    std::atomic<uint64_t> framesToTool_{0};
    std::atomic<uint64_t> framesLost_{0};
};

}  // namespace corvane::sim
