#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ClientDelivery.h"
#include "health/HealthReport.h"
#include "mqtt/CommandGate.h"
#include "mqtt/HaDiscovery.h"
#include "mqtt/MqttTopics.h"
#include "mqtt/TopicOutbox.h"

namespace corvane {
namespace decode {
class Catalogue;
}
class DeviceTable;
class RVCManager;
class TransmitPath;
namespace health {
class HealthMonitor;
}
}  // namespace corvane

namespace corvane::mqtt {

class MqttClient;

// The coach on MQTT: decoded messages on "<root>/<NAME>/<instance>", the coach's status,
// devices, faults and health under "corvane/<coach>/", and Home Assistant discovery for them.
// Commands for lights and switched loads come back from MQTT when enabled and allowed; a
// retained one is refused (the broker would hand it over again at every connection), and one
// that comes too soon after the last to the same light or load is held and sent once the
// interval has passed, the newest replacing any held before it: the state the owner asked for
// last is the one the coach ends in.
//
// It sits in the manager's client-delivery slot (behind the health monitor, whose snapshots it
// reads) and passes everything on to `next`. The dispatching thread only copies each complete
// message into a bounded queue (kMaxQueued; past that messages are counted as dropped) and
// goes on: decoding, the coach's state, discovery and publishing run on the bridge's own
// thread, so a slow or absent broker never holds up intake. While the broker is away the
// latest value of each topic waits in the outbox, and on each (re)connection every topic goes
// out again. Discovery goes out before the state it describes, and the watched values are sent
// again a moment after any discovery (Home Assistant subscribes to a new entity's state topic
// only once it has read its config, and decoded values are not retained).
//
// No ghosts: a node that leaves the inventory takes all its entities and retained state
// along, and configs that an earlier run of the same coach left at the broker and that are no
// longer current are removed once the bridge has run for leftoverGraceMicros.
//
// Threads: deliverRaw/deliverCooked on the dispatching thread(s); queueMutex_ guards queue_,
// commands_, configsSeen_ and the flags the client's network thread sets (onConnected,
// onMessage). All other members belong to the bridge thread between start() and stop(),
// except the atomic counters. The client, monitor, device table and transmit path outlive the
// bridge.
class MqttBridge final : public ClientDelivery {
  public:
    static constexpr size_t kMaxQueued = 65536;

    struct Config {
        std::string coach = "coach";
        std::string root = "RVC";
        std::string discoveryPrefix = "homeassistant";
        int64_t minIntervalMicros = 250'000;  // per topic: at most four a second
        int64_t stateIntervalMicros = 1'000'000;
        size_t maxTopics = 4096;  // decoded-message topics kept, and watched (topic, source) pairs
        int64_t stateAfterDiscoveryMicros = 1'000'000;
        int64_t leftoverGraceMicros = 60'000'000;
        bool commandsEnabled = false;
        std::vector<AllowedCommand> allowed;
    };
    struct Network {
        health::HealthMonitor* monitor = nullptr;
        const DeviceTable* devices = nullptr;
        TransmitPath* transmit = nullptr;     // null: no commands
        const RVCManager* manager = nullptr;  // for the mute mode
        std::function<bool()> adapterConnected;
        const decode::Catalogue* catalogue = nullptr;  // null: the built-in catalogue
    };

    // `now` stamps each message (microseconds since 1970: the wall, or a log's own time); the
    // pacing of what is published follows the steady clock. Sets the client's callbacks:
    // call before the client starts.
    MqttBridge(Config config, MqttClient& client, Network network, std::function<int64_t()> now,
               ClientDelivery* next = nullptr);
    ~MqttBridge() override;
    MqttBridge(const MqttBridge&) = delete;
    MqttBridge& operator=(const MqttBridge&) = delete;

    void start();
    // Stops the thread after one last round, then tells the broker "offline".
    void stop();

    void deliverRaw(const RvcFrame& frame) override;
    void deliverCooked(const RvcMessage& message) override;
    std::string report() const override;

    uint64_t published() const { return published_.load(std::memory_order_relaxed); }
    uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
    // New topics the full outbox (or entity table) turned away.
    uint64_t droppedTopics() const { return droppedTopics_.load(std::memory_order_relaxed); }
    uint64_t commandsSent() const { return commandsSent_.load(std::memory_order_relaxed); }
    // True once every message delivered so far has been taken in and nothing waits to go out.
    bool idle() const { return idle_.load(std::memory_order_acquire); }

  private:
    struct Queued {
        int64_t micros;
        uint32_t dgn;
        uint8_t sa;
        std::vector<uint8_t> data;
    };
    struct Command {
        std::string topic;
        std::string payload;
    };

    struct Watched {
        uint32_t dgn = 0;
        std::vector<uint8_t> data;
    };

    void run();
    void round(int64_t now);
    void publishDue(int64_t now);
    void takeMessage(const Queued& q);
    void takeSwitchedState(const decode::DecodedMessage& m, uint8_t sa);
    void updateState();
    void updateDiscovery();
    void forgetNode(uint8_t address);
    void clearLeftovers(int64_t now);
    // `again`: a held command tried once more (held again in silence).
    void handleCommand(const Command& c, int64_t now, bool again = false);
    void sendHeldCommands(int64_t now);
    void onMessage(const std::string& topic, const std::string& payload, bool retained);
    bool isOwnConfig(const std::string& topic) const;

    Config config_;
    MqttClient& client_;
    Network network_;
    std::function<int64_t()> now_;
    ClientDelivery* next_;
    CoachTopics topics_;
    HaContext ha_;

    mutable std::mutex queueMutex_;
    std::condition_variable wake_;
    std::vector<Queued> queue_;
    std::vector<Command> commands_;
    std::vector<std::pair<std::string, bool>> configsSeen_;  // config topic, not empty
    bool reconnected_ = false;
    bool rediscover_ = false;
    bool stopping_ = false;

    std::thread thread_;
    std::atomic<uint64_t> published_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> droppedTopics_{0};
    std::atomic<uint64_t> commandsSent_{0};
    std::atomic<bool> idle_{true};

    // The bridge thread's own.
    TopicOutbox outbox_;
    CommandGate gate_;
    health::HealthReport report_;
    int64_t startedAt_ = 0;
    int64_t lastState_ = 0;
    int64_t stateResendAt_ = 0;  // when the watched values go out again; 0: not due
    uint64_t watchedDropped_ = 0;
    // The latest bytes of each watched message, by topic and source, re-decoded for discovery.
    std::map<std::pair<std::string, uint8_t>, Watched> watched_;
    std::map<int, uint8_t> lights_;          // dimmer instance -> the address reporting it
    std::map<int, uint8_t> loads_;           // load instance -> the address reporting it
    std::set<uint8_t> inventory_;            // the addresses of the last discovery
    std::set<std::string> discoveryTopics_;  // the configs published and not yet removed
    std::set<std::string> retainedConfigs_;  // configs under our node id the broker holds
    bool discoveryChanged_ = true;
    // (light, instance) -> the newest command that came too soon, sent when its time comes.
    std::map<std::pair<bool, int>, Command> held_;
};

}  // namespace corvane::mqtt
