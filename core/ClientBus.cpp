#include "core/ClientBus.h"

#include <array>
#include <chrono>
#include <vector>

#include "core/MuteMode.h"
#include "core/RVCFilterLegacyRaw.h"
#include "core/RVCFilterPGN.h"
#include "core/RVCFilterRaw.h"
#include "core/RVCFilterSA.h"
#include "core/RVCManager.h"
#include "core/RvcSendFromRequest.h"
#include "core/RvcSendRequest.h"
#include "core/TransmitPath.h"
#include "debugport/DebugPrint.h"
#include "platform/RuntimeDir.h"

namespace corvane {

namespace {

using namespace std::chrono_literals;
constexpr auto kDispatchWait = 5ms;
constexpr auto kWait = 500ms;
constexpr int kPollWaitMs = 20;   // how long the polling thread sleeps when idle
constexpr size_t kMaxBatch = 64;  // requests taken in one poll

std::string toolSlotPath() {
    auto path = mailslotPath(ClientBus::kToolSlot);
    return path ? *path : std::string();
}

}  // namespace

ClientBus::ClientBus(RVCManager& manager, TransmitPath& transmit)
    : manager_(manager), transmit_(transmit), slot_(toolSlotPath()) {}

ClientBus::~ClientBus() {
    stop();
    std::map<uint16_t, std::unique_ptr<RVCClient>> leaving;
    {
        std::lock_guard lock(clientMutex_);
        leaving.swap(clients_);
    }
    // Out of the map, so that no dispatch waits while the modules take their last messages.
    for (auto& [id, client] : leaving) client->destroy_locked();
}

void ClientBus::start() {
    if (running_.exchange(true)) return;
    pollThread_ = std::thread([this] {
        while (running_.load(std::memory_order_acquire)) {
            if (slot_.waitReadable(kPollWaitMs)) poll();
        }
    });
}

void ClientBus::stop() {
    running_.store(false, std::memory_order_release);
    if (pollThread_.joinable()) pollThread_.join();
}

void ClientBus::poll() {
    if (!slot_.valid()) return;
    struct Request {
        size_t size = 0;
        std::array<uint8_t, clientbus::kMaxRequest> bytes;
    };
    std::vector<Request> batch;
    while (batch.size() < kMaxBatch) {
        Request r;
        auto size = slot_.read(r.bytes);
        if (!size) break;
        r.size = *size;
        batch.push_back(r);
    }
    if (batch.empty()) return;
    DebugPrint("%d", static_cast<int>(batch.size()));
    for (const Request& r : batch) {
        if (r.size >= clientbus::kMaxRequest) {
            DebugPrint("Overflow ");
            continue;
        }
        execute(std::span(r.bytes.data(), r.size));
    }
}

void ClientBus::execute(std::span<const uint8_t> request) {
    using namespace clientbus;
    if (request.empty()) return;
    uint8_t code = request[0];
    switch (code) {
        case kSend:
            return transmit(request, false);
        case kHousekeeping:
        case kHousekeeping2:
            return transmit(request, true);
        case kSendFrom:
            return transmitFrom(request);
        case kSimulate:
            return simulateReception(request);
        case kRegister:
            if (auto name = parseRegistration(request)) {
                registerClient(*name);
            } else {
                DebugPrint("Client registration with a bad slot name refused\r\n");
            }
            return;
        default:
            break;
    }
    if (!carriesToken(code)) return;  // every other code is ignored
    auto parsed = parseTokenRequest(request);
    if (!parsed) {
        DebugPrint("Client request %02X of %zu bytes is too short\r\n", code, request.size());
        return;
    }
    switch (code) {
        case kAddAddress:
        case kAddDgn:
        case kAddLegacyRaw:
        case kAddRaw:
            return addFilter(*parsed);
        case kRemoveAddress:
        case kRemoveDgn:
        case kRemoveLegacyRaw:
        case kRemoveRaw:
            return removeFilters(*parsed, request);
        case kScanOff:
        case kScanOn:
            if (isRegistered(parsed->token)) manager_.setScanNetwork(code == kScanOn);
            return;
        case kMode:
            return setMode(*parsed);
        case kUnregister:
            return removeClient(parsed->token);
        default:
            return;
    }
}

void ClientBus::transmit(std::span<const uint8_t> request, bool housekeeping) {
    auto parsed = parseSendRequest(request);
    if (!parsed) {
        DebugPrint("Client send of %zu bytes does not hold its data; not sent\r\n", request.size());
        return;
    }
    auto source = housekeeping ? TransmitSource::ModuleHousekeeping : TransmitSource::ModuleSend;
    if (transmitAllowed(source, manager_.muteMode())) transmit_.sendRequest(*parsed);
}

void ClientBus::transmitFrom(std::span<const uint8_t> request) {
    auto parsed = parseSendFromRequest(request);
    if (!parsed) {
        DebugPrint("Client send of %zu bytes does not hold its data; not sent\r\n", request.size());
        return;
    }
    if (transmitAllowed(TransmitSource::ModuleSend, manager_.muteMode())) {
        transmit_.sendFromRequest(*parsed);
    }
}

void ClientBus::simulateReception(std::span<const uint8_t> request) {
    auto parsed = parseRvcMessage(request);
    if (!parsed) {
        DebugPrint("Simulated reception of %zu bytes does not hold its data; dropped\r\n",
                   request.size());
        return;
    }
    parsed->kind = RvcMessage::kKind;
    manager_.dispatchMessage(*parsed);
}

std::optional<uint16_t> ClientBus::nextFreeId_locked(const RVCClient* forFilterOf) {
    // After 65535 IDs the counter wraps; an ID still in use is skipped rather than reused. Once
    // every one of the 65536 has been tried, none is free.
    for (uint32_t tried = 0; tried <= UINT16_MAX; ++tried) {
        ++nextId_;
        bool taken =
            forFilterOf ? forFilterOf->hasFilterId_locked(nextId_) : clients_.count(nextId_) != 0;
        if (!taken) return nextId_;
    }
    return std::nullopt;
}

void ClientBus::registerClient(const std::string& slotName) {
    // The tool's own slot: traffic for that client would land in the tool's inbox and be
    // taken for module requests (re-transmitted from any address).
    if (slotName == kToolSlot) {
        DebugPrint("Client registration under the tool's own slot name %s refused\r\n",
                   slotName.c_str());
        return;
    }
    // Only this thread adds clients, so the count cannot grow between here and the insertion.
    if (const size_t registered = clientCount(); registered >= kMaxClients) {
        DebugPrint("Client registration of %s refused: %zu modules are registered\r\n",
                   slotName.c_str(), registered);
        return;
    }
    auto path = mailslotPath(slotName);
    MailslotWriter writer(path ? *path : std::string());
    if (!writer.valid()) {
        DebugPrint("Client slot %s cannot be opened\r\n", slotName.c_str());
        return;
    }
    RVCClient* client = nullptr;
    {
        std::unique_lock lock(clientMutex_, kWait);
        if (!lock) return;  // the module hears nothing and may try again
        auto id = nextFreeId_locked(nullptr);
        if (!id) return;  // every client ID in use: the module hears nothing
        auto created = std::make_unique<RVCClient>(slotName, *id, std::move(writer));
        client = created.get();
        clients_[*id] = std::move(created);
    }
    uint32_t token = client->token();
    const uint8_t reply[] = {clientbus::kRegister, static_cast<uint8_t>(token),
                             static_cast<uint8_t>(token >> 8), static_cast<uint8_t>(token >> 16),
                             static_cast<uint8_t>(token >> 24)};
    if (!client->write(reply)) removeClient(token);
}

RVCClient* ClientBus::findClient_locked(uint32_t token) const {
    for (const auto& [id, client] : clients_) {
        if (client->token() == token) return client.get();
    }
    return nullptr;
}

bool ClientBus::isRegistered(uint32_t token) {
    std::unique_lock lock(clientMutex_, kWait);
    return lock && findClient_locked(token) != nullptr;
}

void ClientBus::removeClient(uint32_t token) {
    std::unique_ptr<RVCClient> client;
    {
        std::unique_lock lock(clientMutex_, kWait);
        if (!lock) return;
        for (auto it = clients_.begin(); it != clients_.end(); ++it) {
            if (it->second->token() != token) continue;
            client = std::move(it->second);
            clients_.erase(it);
            break;
        }
    }
    if (!client) return;
    // Out of the map no dispatch reaches the client, and closing its slot, which waits while
    // the module takes what is still queued for it, holds up no other module's traffic.
    const uint8_t goodbye[] = {clientbus::kUnregister};
    client->write(goodbye);
    client->destroy_locked();
}

void ClientBus::addFilter(const TokenRequest& request) {
    using namespace clientbus;
    RVCClient* client = nullptr;
    std::vector<uint8_t> reply{request.code};
    {
        std::unique_lock lock(clientMutex_, kWait);
        if (!lock) return;
        client = findClient_locked(request.token);
        if (!client) return;
        const auto free = nextFreeId_locked(client);
        if (!free) {
            lock.unlock();
            DebugPrint("Client %08X holds every filter ID; filter refused\r\n", request.token);
            return;
        }
        const uint16_t id = *free;
        switch (request.code) {
            case kAddAddress:
                client->addCookedFilter_locked(
                    std::make_unique<RVCFilterSA>(id, *client, request.address));
                break;
            case kAddDgn:
                client->addCookedFilter_locked(
                    std::make_unique<RVCFilterPGN>(id, *client, request.dgn));
                break;
            case kAddLegacyRaw:
                client->addRawFilter_locked(
                    std::make_unique<RVCFilterLegacyRaw>(id, *client, request.address));
                break;
            case kAddRaw:
                client->addRawFilter_locked(
                    std::make_unique<RVCFilterRaw>(id, *client, request.address));
                break;
            default:
                return;
        }
    }
    if (request.code == kAddDgn) {
        for (int shift = 0; shift < 32; shift += 8) {
            reply.push_back(static_cast<uint8_t>(request.dgn >> shift));
        }
    } else {
        reply.push_back(request.address);
    }
    // Only this thread destroys clients, so the client outlives the lock here.
    client->write(reply);
}

void ClientBus::removeFilters(const TokenRequest& request, std::span<const uint8_t> bytes) {
    std::unique_lock lock(clientMutex_, kWait);
    if (!lock) return;
    if (RVCClient* client = findClient_locked(request.token)) client->removeMatching_locked(bytes);
}

void ClientBus::setMode(const TokenRequest& request) {
    // Mode and echo apply whoever asks; only a registered client gets the answer.
    if (auto mode = muteModeFromWire(request.mode)) manager_.setMuteMode(*mode);
    EchoControl* echo = echo_.load(std::memory_order_acquire);
    if (request.echo <= 1 && echo) echo->setEchoTransmits(request.echo);

    std::unique_lock lock(clientMutex_, kWait);
    if (!lock) return;
    RVCClient* client = findClient_locked(request.token);
    if (!client) return;
    const uint8_t reply[] = {clientbus::kModeReply,
                             static_cast<uint8_t>(toWire(manager_.muteMode())),
                             static_cast<uint8_t>(echo ? echo->echoTransmits() : 0)};
    client->write(reply);
}

void ClientBus::deliverRaw(const RvcFrame& frame) {
    std::unique_lock lock(clientMutex_, kDispatchWait);
    if (!lock) return manager_.droppedWork().countSkippedDelivery();
    for (const auto& [id, client] : clients_) client->offerRaw_locked(frame);
}

void ClientBus::deliverCooked(const RvcMessage& message) {
    std::unique_lock lock(clientMutex_, kDispatchWait);
    if (!lock) return manager_.droppedWork().countSkippedDelivery();
    for (const auto& [id, client] : clients_) client->offerCooked_locked(message);
}

std::string ClientBus::report() const {
    std::unique_lock lock(clientMutex_, kWait);
    if (!lock) return {};
    std::string text;
    for (const auto& [id, client] : clients_) text += client->report_locked();
    return text;
}

size_t ClientBus::clientCount() const {
    std::unique_lock lock(clientMutex_, kWait);
    return lock ? clients_.size() : 0;
}

}  // namespace corvane
