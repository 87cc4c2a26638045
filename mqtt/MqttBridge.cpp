#include "mqtt/MqttBridge.h"

#include <array>
#include <chrono>
#include <cstdio>

#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/MessageDecoder.h"
#include "decode/MessageFormat.h"
#include "health/HealthMonitor.h"
#include "mqtt/LightCommand.h"
#include "mqtt/LoadCommand.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttPayloads.h"

namespace corvane::mqtt {

using Json = nlohmann::ordered_json;
using Kind = TopicOutbox::Kind;

namespace {

constexpr uint32_t kDimmerCommand2 = 0x1FEDB;
constexpr uint32_t kLoadCommand = 0x1FFBC;
constexpr uint8_t kToolAddress = 0xF9;
constexpr const char* kDimmerCommandName = "DC_DIMMER_COMMAND_2";
constexpr const char* kLoadCommandName = "DC_LOAD_COMMAND";
// Commands for one light or load at most five a second: a slider dragged in a dashboard sends
// many.
constexpr int64_t kCommandIntervalMicros = 200'000;
// What the broker's retained configs may add to the bridge's own bookkeeping.
constexpr size_t kMaxConfigsSeen = 4096;
constexpr size_t kMaxCommandBytes = 1024;

int64_t steadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

MqttBridge::MqttBridge(Config config, MqttClient& client, Network network,
                       std::function<int64_t()> now, ClientDelivery* next)
    : config_(std::move(config)),
      client_(client),
      network_(std::move(network)),
      now_(std::move(now)),
      next_(next),
      topics_{config_.coach},
      ha_{config_.coach, config_.root, config_.discoveryPrefix},
      outbox_(config_.minIntervalMicros, config_.maxTopics),
      gate_(config_.commandsEnabled, config_.allowed, kCommandIntervalMicros) {
    client_.onConnected([this] {
        std::lock_guard lock(queueMutex_);
        reconnected_ = true;
        wake_.notify_one();
    });
    client_.onMessage([this](const std::string& topic, const std::string& payload, bool retained) {
        onMessage(topic, payload, retained);
    });
    client_.subscribe(config_.discoveryPrefix + "/status", 1);
    // Our own configs as the broker keeps them, to find those an earlier run left behind.
    client_.subscribe(config_.discoveryPrefix + "/+/" + ha_.nodeId() + "/+/config", 1);
    if (config_.commandsEnabled) {
        client_.subscribe(topics_.base() + "/light/+/set", 1);
        client_.subscribe(topics_.base() + "/switch/+/set", 1);
    }
}

MqttBridge::~MqttBridge() { stop(); }

void MqttBridge::start() {
    if (thread_.joinable()) return;
    stopping_ = false;
    startedAt_ = steadyMicros();
    thread_ = std::thread([this] { run(); });
}

void MqttBridge::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
        wake_.notify_one();
    }
    thread_.join();
    client_.publish(topics_.status(), "offline", 1, true);
    // What is queued reaches the broker before the owner disconnects (bounded: a broker
    // that went away takes nothing more).
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (client_.connected() && client_.unacknowledged() > 0 &&
           std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void MqttBridge::deliverRaw(const RvcFrame& frame) {
    if (next_ != nullptr) next_->deliverRaw(frame);
}

void MqttBridge::deliverCooked(const RvcMessage& message) {
    {
        std::lock_guard lock(queueMutex_);
        if (queue_.size() < kMaxQueued) {
            const auto bytes = message.payload();
            queue_.push_back({now_(), message.dgn, message.sa, {bytes.begin(), bytes.end()}});
            idle_.store(false, std::memory_order_release);
        } else {
            dropped_.fetch_add(1, std::memory_order_relaxed);
        }
    }
    if (next_ != nullptr) next_->deliverCooked(message);
}

std::string MqttBridge::report() const {
    std::string r = "mqtt bridge: " + std::to_string(published()) + " published, " +
                    std::to_string(dropped()) + " dropped, " + std::to_string(droppedTopics()) +
                    " topics turned away";
    if (next_ != nullptr) r += "\n" + next_->report();
    return r;
}

bool MqttBridge::isOwnConfig(const std::string& topic) const {
    // Only the subscription "<prefix>/+/<node id>/+/config" brings these.
    return topic.starts_with(config_.discoveryPrefix + "/") && topic.ends_with("/config") &&
           topic.find("/" + ha_.nodeId() + "/") != std::string::npos;
}

void MqttBridge::onMessage(const std::string& topic, const std::string& payload, bool retained) {
    const bool status = topic == config_.discoveryPrefix + "/status";
    const bool ownConfig = !status && isOwnConfig(topic);
    // Anything else is a command, and a command is for now: one the broker kept would switch
    // the load again at every connection, long after it was meant. None of ours nears 1 kB.
    if (!status && !ownConfig && (retained || payload.size() > kMaxCommandBytes)) {
        std::fprintf(stderr, "command refused: %s %s\n", printable(topic).c_str(),
                     retained ? "was kept by the broker (retained)" : "is too long");
        return;
    }
    std::lock_guard lock(queueMutex_);
    if (status) {
        if (payload == "online") rediscover_ = true;
    } else if (ownConfig) {
        if (configsSeen_.size() < kMaxConfigsSeen)
            configsSeen_.emplace_back(topic, !payload.empty());
    } else if (commands_.size() < 64) {
        commands_.push_back({topic, payload});
    }
    wake_.notify_one();
}

void MqttBridge::run() {
    std::vector<Queued> taken;
    std::vector<Command> commands;
    std::vector<std::pair<std::string, bool>> configs;
    for (;;) {
        bool reconnected = false;
        bool rediscover = false;
        bool stopping = false;
        {
            std::unique_lock lock(queueMutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(50), [this] {
                return stopping_ || reconnected_ || rediscover_ || !commands_.empty() ||
                       queue_.size() >= 256;
            });
            taken.swap(queue_);
            commands.swap(commands_);
            configs.swap(configsSeen_);
            std::swap(reconnected, reconnected_);
            std::swap(rediscover, rediscover_);
            stopping = stopping_;
        }
        const int64_t now = steadyMicros();
        for (const auto& q : taken) takeMessage(q);
        taken.clear();
        if (reconnected) {
            client_.publish(topics_.status(), "online", 1, true);
            // What went into the lost connection may never have arrived.
            outbox_.resendAll();
        }
        if (rediscover) {
            for (const auto& t : discoveryTopics_) outbox_.unsent(t);
        }
        for (const auto& [topic, present] : configs) {
            if (!present) {
                retainedConfigs_.erase(topic);
            } else if (retainedConfigs_.size() < kMaxConfigsSeen) {
                retainedConfigs_.insert(topic);
            }
        }
        configs.clear();
        // Held commands are older than the new ones, so they go first.
        sendHeldCommands(now);
        for (const auto& c : commands) handleCommand(c, now);
        commands.clear();
        // The last round publishes the coach's state as it is at the end.
        if (stopping) discoveryChanged_ = true;
        round(now);
        if (!stopping) continue;
        // Values held back by the rate limit still go out, for a short while.
        for (int i = 0; i < 40 && outbox_.pending() > 0 && client_.connected(); ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(config_.minIntervalMicros / 4));
            round(steadyMicros());
        }
        break;
    }
}

void MqttBridge::round(int64_t now) {
    if (now - lastState_ >= config_.stateIntervalMicros || discoveryChanged_) {
        lastState_ = now;
        updateState();
        updateDiscovery();
    }
    clearLeftovers(now);
    if (stateResendAt_ != 0 && now >= stateResendAt_) {
        stateResendAt_ = 0;
        for (const auto& [key, value] : watched_) outbox_.unsent(key.first);
    }
    publishDue(now);
}

void MqttBridge::publishDue(int64_t now) {
    bool allSent = true;
    if (client_.connected()) {
        bool discovery = false;
        for (auto& m : outbox_.due(now)) {
            if (client_.publish(m.topic, m.payload, m.qos, m.retain)) {
                published_.fetch_add(1, std::memory_order_relaxed);
                discovery = discovery || m.kind == Kind::Discovery;
                // A removal sent: nothing is left to keep of that topic.
                if (m.payload.empty() && m.kind != Kind::Value) outbox_.forget(m.topic);
            } else {
                outbox_.unsent(m.topic);
                allSent = false;
            }
        }
        if (discovery && stateResendAt_ == 0) {
            stateResendAt_ = now + config_.stateAfterDiscoveryMicros;
        }
    }
    droppedTopics_.store(outbox_.dropped() + watchedDropped_, std::memory_order_relaxed);
    // Counted before the lock: the dispatching thread waits on it.
    const bool outboxEmpty = outbox_.pending() == 0;
    std::lock_guard lock(queueMutex_);
    idle_.store(allSent && queue_.empty() && outboxEmpty && stateResendAt_ == 0 && held_.empty() &&
                    client_.connected(),
                std::memory_order_release);
}

namespace {

const decode::Catalogue& catalogueOf(const MqttBridge::Network& network) {
    return network.catalogue ? *network.catalogue : decode::builtinCatalogue();
}

}  // namespace

void MqttBridge::takeMessage(const Queued& q) {
    thread_local decode::DecodedMessage m;
    decode::decodeMessage(catalogueOf(network_), q.dgn, q.sa, q.data, m);
    const std::string name = m.known() ? m.spec->name : decode::dgnText(m);
    const std::string topic = messageTopic(config_.root, name, m.instance);
    Json content = messageContent(m);
    std::string text = jsonText(content);
    outbox_.offer(topic, text, jsonText(withTimestamp(std::move(content), q.micros)), 0, false);
    if (!m.known()) return;
    // A topic the full outbox turned away gets no entity: it would show nothing.
    if (haWatches(name) && outbox_.contains(topic)) {
        auto it = watched_.find({topic, q.sa});
        if (it == watched_.end() && watched_.size() >= config_.maxTopics) {
            ++watchedDropped_;
        } else {
            if (it == watched_.end()) {
                it = watched_.emplace(std::make_pair(topic, q.sa), Watched{}).first;
                discoveryChanged_ = true;
            }
            it->second = {q.dgn, q.data};
        }
    }
    takeSwitchedState(m, q.sa);
}

void MqttBridge::takeSwitchedState(const decode::DecodedMessage& m, uint8_t sa) {
    if (m.instance < 0 || !gate_.enabled()) return;
    const std::string& name = m.spec->name;
    const bool light = name == "DC_DIMMER_STATUS_3" && gate_.allows(kDimmerCommandName, m.instance);
    const bool load = name == "DC_LOAD_STATUS" && gate_.allows(kLoadCommandName, m.instance);
    if (!light && !load) return;
    for (const auto& f : m.fields) {
        if (f.status != decode::FieldStatus::Value) continue;
        if (light && f.spec->name == "brightness") {
            const LightState s = lightStateFromPercent(f.value);
            Json state;
            state["state"] = s.on ? "ON" : "OFF";
            state["brightness"] = s.brightness;
            const std::string text = jsonText(state);
            outbox_.offer(topics_.lightState(m.instance), text, text, 1, true, Kind::State);
        } else if (load && f.spec->name == "level") {
            const std::string state = loadStateFromPercent(f.value);
            outbox_.offer(topics_.switchState(m.instance), state, state, 1, true, Kind::State);
        }
    }
    auto& table = light ? lights_ : loads_;
    auto [it, added] = table.try_emplace(m.instance, sa);
    it->second = sa;
    discoveryChanged_ = discoveryChanged_ || added;
}

void MqttBridge::updateState() {
    if (network_.monitor == nullptr || network_.devices == nullptr) return;
    report_ = health::makeHealthReport(network_.devices->devices(), network_.devices->nodes(),
                                       network_.monitor->snapshot());
    const std::string& c = config_.coach;
    auto offer = [this](const std::string& topic, const Json& j) {
        outbox_.offer(topic, jsonText(stableContent(j)), jsonText(j), 1, true, Kind::State);
    };
    offer(topics_.devices(), devicesPayload(c, report_));
    offer(topics_.faults(), faultsPayload(c, report_));
    Json health = healthPayload(c, report_);
    // What the bridge could not keep, so that a full outbox is seen, not guessed.
    health["bridge"] = {{"dropped_messages", dropped()},
                        {"dropped_topics", outbox_.dropped() + watchedDropped_}};
    offer(topics_.health(), health);
    std::set<uint8_t> addresses;
    for (const auto& d : report_.inventory) addresses.insert(d.address);
    for (uint8_t a : addresses) offer(topics_.deviceFaults(a), deviceFaultsPayload(report_, a));
}

void MqttBridge::forgetNode(uint8_t address) {
    std::erase_if(watched_, [address](const auto& w) { return w.first.second == address; });
    const auto clear = [this](const std::string& topic) {
        outbox_.offer(topic, "", "", 1, true, Kind::State);
    };
    for (auto it = lights_.begin(); it != lights_.end();) {
        if (it->second != address) {
            ++it;
            continue;
        }
        clear(topics_.lightState(it->first));
        it = lights_.erase(it);
    }
    for (auto it = loads_.begin(); it != loads_.end();) {
        if (it->second != address) {
            ++it;
            continue;
        }
        clear(topics_.switchState(it->first));
        it = loads_.erase(it);
    }
    clear(topics_.deviceFaults(address));
}

void MqttBridge::updateDiscovery() {
    discoveryChanged_ = false;
    std::set<uint8_t> addresses;
    for (const auto& d : report_.inventory) addresses.insert(d.address);
    // A node that left the inventory takes every entity of its own along.
    for (uint8_t a : inventory_) {
        if (!addresses.contains(a)) forgetNode(a);
    }
    inventory_ = addresses;
    std::vector<HaEntity> wanted = haCoachEntities(ha_);
    for (uint8_t a : addresses) {
        for (auto& e : haFaultEntities(ha_, a, haDevice(ha_, report_, a))) wanted.push_back(e);
    }
    decode::DecodedMessage m;
    for (const auto& [key, value] : watched_) {
        decode::decodeMessage(catalogueOf(network_), value.dgn, key.second, value.data, m);
        for (auto& e : haMessageEntities(ha_, m, haDevice(ha_, report_, key.second))) {
            wanted.push_back(std::move(e));
        }
    }
    for (const auto& [instance, sa] : lights_) {
        wanted.push_back(haLightEntity(ha_, instance, haDevice(ha_, report_, sa)));
    }
    for (const auto& [instance, sa] : loads_) {
        wanted.push_back(haSwitchEntity(ha_, instance, haDevice(ha_, report_, sa)));
    }
    std::set<std::string> topics;
    for (const auto& e : wanted) {
        const std::string text = jsonText(e.config);
        outbox_.offer(e.topic, text, text, 1, true, Kind::Discovery);
        topics.insert(e.topic);
    }
    // An entity no longer there is removed, so that Home Assistant keeps no ghost of it.
    for (const auto& t : discoveryTopics_) {
        if (!topics.contains(t)) outbox_.offer(t, "", "", 1, true, Kind::Discovery);
    }
    discoveryTopics_ = std::move(topics);
}

void MqttBridge::clearLeftovers(int64_t now) {
    // Until then the inventory may still be growing: a config not yet current may soon be.
    if (now - startedAt_ < config_.leftoverGraceMicros) return;
    for (const auto& t : retainedConfigs_) {
        if (!discoveryTopics_.contains(t)) outbox_.offer(t, "", "", 1, true, Kind::Discovery);
    }
    retainedConfigs_.clear();
}

void MqttBridge::sendHeldCommands(int64_t now) {
    if (held_.empty()) return;
    auto held = std::move(held_);
    held_.clear();
    for (const auto& [target, c] : held) handleCommand(c, now, true);
}

void MqttBridge::handleCommand(const Command& c, int64_t now, bool again) {
    const auto target = parseCommandTopic(topics_, c.topic);
    if (!target) {
        std::fprintf(stderr, "command refused: %s is not a command topic\n",
                     printable(c.topic).c_str());
        return;
    }
    const bool light = target->kind == CommandTopic::Kind::Light;
    const int instance = target->instance;
    const char* what = light ? "light" : "switch";
    std::array<uint8_t, 8> data{};
    std::string words;
    if (light) {
        const auto command = parseLightCommand(c.payload);
        if (!command) {
            std::fprintf(stderr, "command refused: light %d: not a light command\n", instance);
            return;
        }
        data = dimmerCommandData(static_cast<uint8_t>(instance), *command);
        words = command->on ? "on" : "off";
        if (command->brightness) words += " brightness " + std::to_string(*command->brightness);
    } else {
        const auto command = parseLoadCommand(c.payload);
        if (!command) {
            std::fprintf(stderr, "command refused: switch %d: neither ON nor OFF\n", instance);
            return;
        }
        data = loadCommandData(static_cast<uint8_t>(instance), *command);
        words = command->on ? "on" : "off";
    }
    const bool muted =
        network_.manager != nullptr && network_.manager->muteMode() != MuteMode::TransmitNormally;
    const bool connected = network_.transmit != nullptr && network_.transmit->sender() != nullptr &&
                           (!network_.adapterConnected || network_.adapterConnected());
    const std::string why =
        gate_.check(light ? kDimmerCommandName : kLoadCommandName, instance, muted, connected, now);
    const auto key = std::make_pair(light, instance);
    if (why == CommandGate::kTooSoon) {
        // Replaces what was held: only the newest state matters.
        held_.insert_or_assign(key, c);
        if (!again) {
            std::fprintf(stderr, "command held: %s %d %s (%s)\n", what, instance, words.c_str(),
                         why.c_str());
        }
        return;
    }
    if (!why.empty()) {
        std::fprintf(stderr, "command refused: %s %d: %s\n", what, instance, why.c_str());
        return;
    }
    held_.erase(key);  // an older one must not follow it
    std::fprintf(stderr, "command: %s %d %s\n", what, instance, words.c_str());
    network_.transmit->send(light ? kDimmerCommand2 : kLoadCommand, kToolAddress, 6,
                            static_cast<uint16_t>(data.size()), data.data());
    commandsSent_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace corvane::mqtt
