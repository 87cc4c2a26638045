#pragma once

#include <string>

#include "adapters/ConduitState.h"
#include "app/MainWindowServices.h"

namespace corvane {

// What the main window says about the connection, without any widget: which adapter is
// current, where it reaches the bus and whether it is connected, and why the device list is
// empty. Reads the selection and the conduits' states as of the call; user-interface thread.
class ConnectionStatus {
  public:
    static constexpr const char* kNotConnectedText = "Not connected";
    static constexpr const char* kWaitingText = "Waiting for devices";

    explicit ConnectionStatus(const MainWindowServices& services) : services_(services) {}

    // The status line, e.g. "Vexor-series adapter (/dev/ttyUSB0): Connected".
    std::string line() const;
    // The device list's text while it has no row: kWaitingText while an adapter is
    // connected, otherwise kNotConnectedText.
    const char* emptyListText() const;

    // The line for an adapter of `kind` at `location` (may be empty) in conduit state `state`;
    // the no-adapter conduit passes kNoAdapter and is never connected.
    //   "FT-series adapter", "", 1          -> "FT-series adapter: Connected"
    //   "Log replay", "/tmp/a.log", 0       -> "Log replay (/tmp/a.log): Not connected"
    //   "KestrixLink cloud", "relay h", 2   -> "KestrixLink cloud (relay h): Logged in, opening
    //                                          the link"
    //   kNoAdapter, "", 1                   -> "No adapter: Not connected"
    static constexpr const char* kNoAdapter = "No adapter";
    static std::string lineOf(const std::string& kind, const std::string& location,
                              ConduitState state);
    // Where a replay is: time into the log and share of the file read.
    //   (754'000'000, 45.4) -> "0:12:34 into the log, 45%"
    //   (3'600'000'000, 100) -> "1:00:00 into the log, 100%"
    static std::string replayPositionOf(int64_t intoMicros, double percent);

  private:
    const Conduit* current() const;
    std::string kindOf(const Conduit* conduit) const;
    bool connected() const;

    const MainWindowServices& services_;
};

}  // namespace corvane
