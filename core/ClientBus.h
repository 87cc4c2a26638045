#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "core/BoundedWaitMutex.h"

#include "core/ClientDelivery.h"
#include "core/ClientRequest.h"
#include "core/EchoControl.h"
#include "core/RVCClient.h"
#include "platform/MailslotServer.h"

namespace corvane {

class RVCManager;
class TransmitPath;

// The module client bus: the tool's mailslot "RVCManager", the registered module clients and
// their filters. Requests are read and executed on the polling thread, one at a time in
// arrival order; dispatch threads deliver traffic through deliverRaw()/deliverCooked().
//
// Locking: clientMutex_ guards clients_ and every client's filter maps. Dispatch waits at most
// 5 ms for it and otherwise skips the delivery, counted in the manager's dropped work; everything
// else waits at most 500 ms and skips its work on time-out. Only the polling thread (or the owner,
// once it has stopped) adds or destroys clients, so a client it found by token stays alive while it
// handles the request. The mutex is never held while transmitting or dispatching, which re-enter
// deliverRaw().
class ClientBus final : public ClientDelivery {
  public:
    // The tool's own mailslot; no module may register under this name.
    static constexpr const char* kToolSlot = "RVCManager";
    // Registered modules at most. Each holds a descriptor and a thread of the tool's, so a
    // module that registers in a loop must not take them all from the rest of the program.
    static constexpr size_t kMaxClients = 256;

    // Creates the tool's mailslot. When that fails the bus is invalid and polls do nothing.
    ClientBus(RVCManager& manager, TransmitPath& transmit);
    // Stops the polling thread and destroys every client: each filter still sends its
    // removal notice, but there is no unregistration byte.
    ~ClientBus() override;
    ClientBus(const ClientBus&) = delete;
    ClientBus& operator=(const ClientBus&) = delete;

    bool valid() const { return slot_.valid(); }
    // Where modules write their requests.
    const std::string& slotPath() const { return slot_.path(); }
    // The adapter echo option the mode command (0xE2) reads and sets; null: none.
    void setEchoControl(EchoControl* echo) { echo_.store(echo, std::memory_order_release); }

    // Starts and stops the polling thread, which waits for requests and polls.
    void start();
    void stop();
    // Reads every waiting request and executes it. The polling thread's step; tests and
    // benchmarks may call it directly while the thread is not running.
    void poll();

    void deliverRaw(const RvcFrame& frame) override;
    void deliverCooked(const RvcMessage& message) override;
    std::string report() const override;

    size_t clientCount() const;

  private:
    // Tests hold the client lock through it, to see a dispatch skip and be counted.
    friend class ClientBusLockHolder;

    void execute(std::span<const uint8_t> request);
    void registerClient(const std::string& slotName);
    void removeClient(uint32_t token);
    void addFilter(const TokenRequest& request);
    void removeFilters(const TokenRequest& request, std::span<const uint8_t> bytes);
    void setMode(const TokenRequest& request);
    bool isRegistered(uint32_t token);
    RVCClient* findClient_locked(uint32_t token) const;
    // The next ID free among the clients, or among the filters of `forFilterOf`; none when all
    // 65536 are in use.
    std::optional<uint16_t> nextFreeId_locked(const RVCClient* forFilterOf);
    void transmit(std::span<const uint8_t> request, bool housekeeping);
    void transmitFrom(std::span<const uint8_t> request);
    void simulateReception(std::span<const uint8_t> request);

    RVCManager& manager_;
    TransmitPath& transmit_;
    std::atomic<EchoControl*> echo_{nullptr};
    MailslotServer slot_;

    mutable BoundedWaitMutex clientMutex_;
    std::map<uint16_t, std::unique_ptr<RVCClient>> clients_;
    uint16_t nextId_ = 0;  // shared by client and filter IDs; changed under clientMutex_

    std::thread pollThread_;
    std::atomic<bool> running_{false};
};

}  // namespace corvane
