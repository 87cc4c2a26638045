#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "adapters/ReaderThread.h"
#include "adapters/UsbCanPort.h"
#include "adapters/UserNotifier.h"
#include "platform/FtDriver.h"

namespace corvane {

class RVCManager;

// The FT-series USB-CAN adapter: found by its USB description through the driver layer,
// opened by serial number, its firmware started and its data rate set; received frames go to
// the manager's intake on the reader thread.
//
// Threads: connect, reconnect, disconnect and setState run on the user-interface thread, and
// the link's life cycle is the reader's (see ReaderThread): the firmware is started while the
// reader already runs, since its answers come through it. sendFrame runs on any thread. The
// current port is guarded by portMutex_ and shared with senders, so a disconnect never frees
// a port under a sender.
class TarvikConduit final : public Conduit, private ReaderThread::Link {
  public:
    static constexpr const char* kUsbErrorTitle = "USB Error";
    static constexpr const char* kCannotFindText = "[%d] Cannot Find Adapter";
    static constexpr const char* kCannotInitializeText = "[%d] Cannot Initialize Adapter";
    static constexpr const char* kNotRespondingText = "Tool Not Responding.";
    static constexpr const char* kCannotReadStateText = "Cannot Read Tool State.";
    static constexpr const char* kFirmwareFaultText =
        "Tool Firmware Fault.\n\rUnplug the adapter, plug it back in, and try again.";
    static constexpr const char* kDataRateErrorText = "Error Setting Data Rate";
    static constexpr const char* kToolModeErrorText = "Cannot Set Tool Mode";
    // The description every FT-series adapter's USB description begins with.
    static constexpr const char* kDescriptionPrefix = "USB-CAN";

    static constexpr uint8_t kReadStateCommand = 0x80;
    static constexpr uint8_t kStartCommand = 0xD2;
    static constexpr uint8_t kStateRunning = 0xCC;
    static constexpr uint8_t kStateNeedsStart = 0x55;

    TarvikConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                  AdapterSettings& adapterSettings, FtDriver& driver, UserNotifier& notifier);
    ~TarvikConduit() override;

    // The connection procedure; non-zero when it ends connected.
    int connect() override;
    int reconnect() override;
    // Closes the port, forgets the network and goes to state 0 (a disabled adapter stays 4).
    void disconnect() override;
    // Entering 4 disconnects first.
    void setState(ConduitState value) override;
    // Frames of at most 8 bytes while a port exists; failures are not reported.
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;

    // The data-rate command for a TarvikBaudRate value: 0xB0 + rate for 0-3. Other values
    // are taken as 2 (250 kbit/s, the RV-C rate) and traced.
    static uint8_t dataRateCommand(int32_t rate);

  private:
    // The serial number of the first "USB-CAN" device, or the code of the failure.
    struct Found {
        std::optional<std::string> serial;
        int code = 0;
    };
    bool openLink() override;
    bool readyLink() override;
    ReaderThread::Read readLink() override;
    void closeLink(bool lost) override;

    Found findAdapter();
    bool startFirmware(UsbCanPort& port);
    void closePort();
    std::shared_ptr<UsbCanPort> currentPort();
    void deliverFrames(UsbCanPort& port);
    void notify(const std::string& text);

    RVCManager& manager_;
    AdapterSettings& adapterSettings_;
    FtDriver& driver_;
    UserNotifier& notifier_;

    std::mutex portMutex_;  // guards port_ (the pointer, not the port)
    std::shared_ptr<UsbCanPort> port_;
    ReaderThread reader_;  // last: stopped before the members it reads through go
};

}  // namespace corvane
