#pragma once

#include <atomic>
#include <cstdint>

#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "adapters/DataRateCommand.h"
#include "adapters/UserNotifier.h"

namespace corvane {

class TransmitPath;

// Which adapter is current, and the connection commands of the main window. Exactly one
// conduit is current at any time; every transmission goes through it.
//
// The commands and the start-up check run on the user-interface thread; current() may be
// read from any thread (the client bus changes the current conduit's echo setting).
class AdapterSelection {
  public:
    // The four application-wide conduits. `serialRate` is the serial adapter's data-rate
    // command, if it has one; null leaves a connected serial adapter at its rate.
    struct Adapters {
        Conduit& none;
        Conduit& ftSeries;
        Conduit& cloud;
        Conduit& serial;
        DataRateCommand* serialRate = nullptr;
    };

    static constexpr const char* kConfigurationErrorText =
        "Please select an adapter type from the Options menu.";
    static constexpr const char* kConfigurationErrorTitle = "Configuration Error";

    // Makes the no-adapter conduit current.
    AdapterSelection(AdapterSettings& settings, TransmitPath& transmit, UserNotifier& notifier,
                     Adapters adapters);

    Conduit& current() const { return *current_.load(std::memory_order_acquire); }
    bool isCurrent(const Conduit& conduit) const { return &current() == &conduit; }

    // "USB": reconnects a current USB adapter, otherwise connects the one AdapterType names.
    void connectUsb();
    // "Cloud": reconnects the cloud conduit if current, otherwise switches to it. Either way a
    // cancelled login leaves the current adapter connected.
    void connectCloud();
    // Connects the given adapter and makes it current, whatever AdapterType says: a run
    // that knows its adapter (the demo vehicle behind an emulator, a log, a CAN interface).
    // The start-up connection check is over from then on.
    bool connectAdapter(Conduit& conduit);
    // "Disconnect": back to the no-adapter conduit.
    void disconnect();
    // "Reconnect": the current adapter, if there is one.
    void reconnect();
    // "FT Series" / "Vexor Series".
    void selectAdapterType(int32_t type);
    // The two data-rate items; applied at once to a connected USB adapter.
    void selectDataRate(int32_t rate);
    // "Connect on Startup".
    void toggleConnectOnStartup();
    // "Echo Tool Transmissions to Modules": the current conduit's copy.
    void toggleEchoTransmits();

    // The start-up connection check, first thing on every timer tick. Alt held at a tick
    // while undecided rules out the automatic connection for the rest of the run.
    void startupTick(bool altHeld);
    bool startupDecided() const { return startupDecided_; }

  private:
    void makeCurrent(Conduit& conduit);
    // Connects a conduit that is not current yet, with the echo option as last saved.
    bool connectAndMakeCurrent(Conduit& conduit);
    bool usbIsCurrent() const;

    AdapterSettings& settings_;
    TransmitPath& transmit_;
    UserNotifier& notifier_;
    Adapters adapters_;
    std::atomic<Conduit*> current_;
    bool startupDecided_ = false;
};

}  // namespace corvane
