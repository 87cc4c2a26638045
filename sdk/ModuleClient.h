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
#include <thread>
#include <vector>

#include "sdk/ModuleEvent.h"

namespace corvane::sdk {

// A module's connection to the running tool over the client bus.
//
//   ModuleClient client;
//   if (!client.registerAs("MyModule")) return 1;
//   client.addAddressFilter(0x42);
//   while (auto event = client.receive(std::chrono::seconds(1))) { ... }
//
// The module's own mailslot lives at <runtime>/mailslot/RVC/<slot name>, where <runtime> is
// $CORVANE_RUNTIME_DIR, else $XDG_RUNTIME_DIR/corvane, else /tmp/corvane-<uid> - the same
// folder the tool uses. A reader thread empties the mailslot as soon as the tool writes, so
// bursts of traffic wait in memory rather than being lost.
//
// The request calls return whether the request was handed to the tool; the tool's answers
// arrive through receive(). Use one thread per client for the calls.
class ModuleClient {
  public:
    ModuleClient();
    // Unregisters (if still registered) and removes the mailslot.
    ~ModuleClient();
    ModuleClient(const ModuleClient&) = delete;
    ModuleClient& operator=(const ModuleClient&) = delete;

    // Creates the mailslot, registers under `slotName` and waits for the tool's token.
    bool registerAs(const std::string& slotName,
                    std::chrono::milliseconds wait = std::chrono::seconds(2));
    bool registered() const { return registered_; }
    uint32_t token() const { return token_; }
    const std::string& slotPath() const { return slotPath_; }

    // Filters: complete messages by source address (0xFF: all) or by DGN; single frames by
    // source address, in the frame layout (raw) or the message layout (legacy raw).
    bool addAddressFilter(uint8_t sa);
    bool removeAddressFilter(uint8_t sa);
    bool addDgnFilter(uint32_t dgn);
    bool removeDgnFilter(uint32_t dgn);
    bool addLegacyRawFilter(uint8_t sa);
    bool removeLegacyRawFilter(uint8_t sa);
    bool addRawFilter(uint8_t sa);
    bool removeRawFilter(uint8_t sa);

    // Transmissions: from the tool's address, from an address of our choice, and as
    // housekeeping (still sent in "Housekeeping Messages Only"). False when the data does not
    // fit one request (191 bytes; 190 for sendFrom).
    bool send(uint32_t dgn, uint8_t priority, std::span<const uint8_t> data);
    bool sendFrom(uint8_t sa, uint32_t dgn, uint8_t priority, std::span<const uint8_t> data);
    bool sendHousekeeping(uint32_t dgn, uint8_t priority, std::span<const uint8_t> data);
    // A message the tool treats as received from the network.
    bool simulateReception(uint32_t dgn, uint8_t sa, std::span<const uint8_t> data);
    bool setScan(bool on);
    // Mute mode 0-3 and echo 0-1; other values leave that setting alone. Answered by a Mode
    // event with the values in force.
    bool setMode(uint8_t mode, uint8_t echo);
    // Asks the tool to forget this client. The tool answers with Unregistered and a
    // FilterRemoved event per filter.
    bool unregister();

    // The next event from the tool, waiting at most `wait`.
    std::optional<ModuleEvent> receive(std::chrono::milliseconds wait);
    // Hands any bytes to the tool as one request, as they are.
    bool sendRaw(std::span<const uint8_t> request);

  private:
    bool openSlot(const std::string& slotName);
    void closeSlot();
    void readLoop();
    bool tokenRequest(uint8_t code, std::span<const uint8_t> arguments);

    int fd_ = -1;
    std::string slotPath_;
    std::string toolPath_;
    bool registered_ = false;
    uint32_t token_ = 0;

    std::thread reader_;
    std::atomic<bool> reading_{false};
    std::mutex queueMutex_;  // guards queue_
    std::condition_variable queueChanged_;
    std::deque<std::vector<uint8_t>> queue_;
};

}  // namespace corvane::sdk
