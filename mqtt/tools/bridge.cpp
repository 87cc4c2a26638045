// corvane-bridge [--demo | --serial-port PATH | --socketcan IFACE |
//                 --replay LOG [--replay-speed X] [--loop]]
//                [--broker URL] [--coach-id NAME] [--topic-root RVC] [--settings FILE]
//                [--catalogue FILE]...
// corvane-bridge --help | --version
//
// Puts the coach on MQTT: decoded messages, the coach's devices, faults and health, and Home
// Assistant discovery; takes light and load commands when the settings enable and allow them. Runs
// until interrupted (or, for a replay without --loop, until the log is played and published).
// Exit status 0 when done, 2 for a wrong command line or settings, 3 when the adapter or the
// log cannot be opened.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "adapters/AdapterSettings.h"
#include "adapters/SocketCanConduit.h"
#include "adapters/UserNotifier.h"
#include "adapters/VexorSeriesConduit.h"
#include "cli/ProgramCommandLine.h"
#include "decode/BuiltinCatalogue.h"
#include "decode/CatalogueFile.h"
#include "decode/LogNetwork.h"
#include "health/HealthMonitor.h"
#include "logs/ProgressBar.h"
#include "logs/ReplayConduit.h"
#include "mqtt/BridgeSettings.h"
#include "mqtt/CommandGate.h"
#include "mqtt/MqttBridge.h"
#include "mqtt/MqttClient.h"
#include "platform/Clock.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace {

using namespace corvane;

const ProgramCommandLine commandLine(
    "corvane-bridge",
    "usage: corvane-bridge [--demo | --serial-port PATH | --socketcan IFACE |\n"
    "                       --replay LOG [--replay-speed X] [--loop]]\n"
    "                      [--broker URL] [--coach-id NAME] [--topic-root RVC]\n"
    "                      [--settings FILE] [--catalogue FILE]...\n"
    "       corvane-bridge --help | --version\n"
    "\n"
    "  --broker URL     mqtt://host:port or mqtts://host:port (default mqtt://localhost:1883)\n"
    "  --coach-id NAME  the coach's topics: corvane/NAME/... (default \"coach\")\n"
    "  --topic-root R   where decoded messages go: R/<NAME>/<instance> (default RVC;\n"
    "                   give each coach its own, e.g. fleet/NAME/RVC, on a shared broker)\n"
    "  --settings FILE  key = value lines or JSON: broker, coach_id, topic_root, username,\n"
    "                   password, ca_file, commands_enabled, command_allowlist\n"
    "                   (\"DC_DIMMER_COMMAND_2:1,2 DC_LOAD_COMMAND:1\"), catalogue\n"
    "  --catalogue FILE a message catalogue over the built-in one (.yml/.yaml in the\n"
    "                   community schema), read after the settings' catalogue\n");

class StderrNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
    }
};

struct Options {
    enum class Source { Demo, Serial, SocketCan, Replay } source = Source::Demo;
    std::string where;  // port, interface or log
    double replaySpeed = 1.0;
    bool loop = false;
    std::string settingsFile;
    std::string broker, coach, root;  // from the command line; over the settings file
    std::vector<std::string> catalogues;
};

int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const auto status = commandLine.answerStandard(arg)) return *status;
        if (arg == "--demo") {
            o.source = Options::Source::Demo;
        } else if (arg == "--loop") {
            o.loop = true;
        } else if (!hasValue && arg.starts_with("--")) {
            if (arg == "--serial-port" || arg == "--socketcan" || arg == "--replay" ||
                arg == "--replay-speed" || arg == "--broker" || arg == "--coach-id" ||
                arg == "--topic-root" || arg == "--settings" || arg == "--catalogue") {
                return commandLine.refuse("missing value for " + std::string(arg));
            }
            return commandLine.refuse("unknown option: " + std::string(arg));
        } else if (arg == "--serial-port") {
            o.source = Options::Source::Serial;
            o.where = argv[++i];
        } else if (arg == "--socketcan") {
            o.source = Options::Source::SocketCan;
            o.where = argv[++i];
        } else if (arg == "--replay") {
            o.source = Options::Source::Replay;
            o.where = argv[++i];
        } else if (arg == "--replay-speed") {
            const auto speed = ReplayConduit::parseSpeed(argv[++i]);
            if (!speed) return commandLine.refuse("not a replay speed: " + std::string(argv[i]));
            o.replaySpeed = *speed;
        } else if (arg == "--broker") {
            o.broker = argv[++i];
        } else if (arg == "--coach-id") {
            o.coach = argv[++i];
        } else if (arg == "--topic-root") {
            o.root = argv[++i];
        } else if (arg == "--settings") {
            o.settingsFile = argv[++i];
        } else if (arg == "--catalogue") {
            o.catalogues.emplace_back(argv[++i]);
        } else {
            return commandLine.refuse("unknown option: " + std::string(arg));
        }
    }
    return -1;
}

int64_t wallMicros() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t{ts.tv_sec} * 1'000'000 + ts.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int status = parseOptions(argc, argv, o); status >= 0) return status;

    mqtt::BridgeSettings s;
    if (!o.settingsFile.empty()) {
        std::ifstream file(o.settingsFile);
        std::stringstream text;
        text << file.rdbuf();
        std::string error;
        if (!file || !mqtt::parseBridgeSettings(text.str(), s, error)) {
            return commandLine.refuse(o.settingsFile + ": " +
                                      (error.empty() ? "cannot be read" : error));
        }
    }
    if (!o.broker.empty()) s.broker = o.broker;
    if (!o.coach.empty()) s.coachId = o.coach;
    if (!o.root.empty()) s.topicRoot = o.root;
    const auto url = mqtt::parseMqttUrl(s.broker);
    if (!url.url) return commandLine.refuse(s.broker + ": " + url.error);
    if (!mqtt::isTopicLevel(s.coachId)) return commandLine.refuse("not a coach id: " + s.coachId);
    if (!mqtt::isTopicRoot(s.topicRoot))
        return commandLine.refuse("not a topic root: " + s.topicRoot);
    std::string error;
    const auto allowed = mqtt::parseAllowList(s.commandAllowlist, error);
    if (!allowed) return commandLine.refuse(error);
    decode::Catalogue catalogue = decode::builtinCatalogue();
    if (!s.catalogue.empty()) o.catalogues.insert(o.catalogues.begin(), s.catalogue);
    for (const std::string& path : o.catalogues) {
        std::vector<std::string> warnings;
        const bool loaded = decode::loadCatalogueFile(path, catalogue, warnings);
        for (const auto& w : warnings) std::fprintf(stderr, "corvane-bridge: %s\n", w.c_str());
        if (!loaded) return 2;
    }

    // Interrupts are waited for below, never handled asynchronously.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SystemClock clock;
    decode::LogNetwork network(clock);
    AdapterSettings adapterSettings(network.settings);
    StderrNotifier notifier;

    std::unique_ptr<sim::SimulatedVehicle> vehicle;
    std::unique_ptr<sim::VexorEmulator> emulator;
    std::unique_ptr<Conduit> adapter;
    ReplayConduit* replay = nullptr;
    if (o.source == Options::Source::Replay) {
        auto r = std::make_unique<ReplayConduit>(network.settings, network.transmit,
                                                 network.manager, notifier);
        r->setFile(o.where);
        r->setSpeed(o.replaySpeed);
        r->setLoop(o.loop);
        replay = r.get();
        adapter = std::move(r);
    } else if (o.source == Options::Source::SocketCan) {
        adapter = std::make_unique<SocketCanConduit>(network.settings, network.transmit,
                                                     network.manager, notifier, o.where);
    } else {
        if (o.source == Options::Source::Demo) {
            vehicle = std::make_unique<sim::SimulatedVehicle>();
            emulator = std::make_unique<sim::VexorEmulator>(*vehicle);
            if (!emulator->start()) {
                std::fprintf(stderr, "corvane-bridge: the simulated vehicle could not start\n");
                return 3;
            }
            o.where = emulator->path();
        }
        adapter = std::make_unique<VexorSeriesConduit>(network.settings, network.transmit,
                                                       network.manager, adapterSettings, notifier,
                                                       o.where);
    }

    // A log played once keeps its own time, so that the bus load is the log's at any speed.
    std::function<int64_t()> now = wallMicros;
    if (replay != nullptr && !o.loop) now = [replay] { return replay->logTime(); };
    health::HealthMonitor monitor(now);
    mqtt::MqttClient client;
    mqtt::MqttBridge::Config config;
    config.coach = s.coachId;
    config.root = s.topicRoot;
    config.commandsEnabled = s.commandsEnabled;
    config.allowed = *allowed;
    Conduit* conduit = adapter.get();
    mqtt::MqttBridge bridge(
        config, client,
        {&monitor, &network.devices, &network.transmit, &network.manager,
         [conduit] { return conduit->getState() == ConduitState::Connected; }, &catalogue},
        now, &monitor);
    network.manager.setClientDelivery(&bridge);

    mqtt::MqttClient::Options co;
    co.url = *url.url;
    co.clientId = "corvane-bridge-" + s.coachId;
    co.username = s.username;
    co.password = s.password;
    co.caFile = s.caFile;
    co.willTopic = mqtt::CoachTopics{s.coachId}.status();
    co.willPayload = "offline";
    if (!client.start(co, error)) {
        std::fprintf(stderr, "corvane-bridge: %s\n", error.c_str());
        return 2;
    }
    bridge.start();

    const bool firstConnect = adapter->connect() != 0;
    if (!firstConnect && replay != nullptr) {
        // The conduit said why. The client's thread calls into the bridge: it ends first.
        client.stop();
        return 3;
    }
    // A replay shows how far it has come (what the bridge tells goes to the broker).
    std::unique_ptr<ProgressBar> progress;
    if (replay != nullptr)
        progress = std::make_unique<ProgressBar>(stderr, ProgressBar::wanted(stderr, nullptr));
    if (!firstConnect)
        std::fprintf(stderr, "corvane-bridge: cannot open %s, retrying\n", o.where.c_str());
    network.transmit.setSender(adapter.get());
    std::fprintf(stderr, "corvane-bridge: coach %s to %s\n", s.coachId.c_str(), s.broker.c_str());

    // 50 ms ticks pace long transfers; a lost serial adapter or interface is tried again
    // every few seconds.
    const timespec tick{0, 50'000'000};
    auto lastTry = std::chrono::steady_clock::now();
    auto lastAging = lastTry;
    int status = 0;
    std::string brokerProblem;  // told once each time it changes
    for (;;) {
        if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) break;
        network.transmit.pacingStep();
        if (const std::string problem = client.connected() ? "" : client.lastError();
            problem != brokerProblem) {
            brokerProblem = problem;
            if (!problem.empty()) {
                std::fprintf(stderr, "corvane-bridge: broker %s: %s\n", s.broker.c_str(),
                             problem.c_str());
            }
        }
        if (progress && replay->finished()) progress.reset();  // wiped at the end of the log
        if (progress) progress->update(replay->bytesRead(), replay->fileBytes());
        if (replay != nullptr && !o.loop && replay->finished() && bridge.idle()) break;
        const auto now = std::chrono::steady_clock::now();
        // Nodes and devices that went quiet leave the inventory (and Home Assistant).
        if (now - lastAging > std::chrono::seconds(5)) {
            lastAging = now;
            network.devices.age();
        }
        if (replay == nullptr && adapter->getState() != ConduitState::Connected &&
            now - lastTry > std::chrono::seconds(3)) {
            lastTry = now;
            if (adapter->connect() != 0) std::fprintf(stderr, "corvane-bridge: adapter back\n");
        }
    }
    // The bridge's last round reads the tables before the adapter's end clears them. The
    // adapter still delivers meanwhile, into the bridge's bounded queue.
    bridge.stop();
    network.transmit.setSender(nullptr);
    adapter->disconnect();
    client.stop();
    return status;
}
