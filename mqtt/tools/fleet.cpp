// corvane-fleet [--broker URL] [--settings FILE] [--json [--follow]] [--seconds N]
// corvane-fleet --help | --version
//
// Every coach on a broker, one row each: coach id, online or not, devices, active faults and
// bus load, from the retained topics the bridges publish. The table is printed again when it
// changes (at most once a second) until interrupted or N seconds have passed; --json prints
// the fleet once as JSON when the broker's retained messages have settled (no new one for a
// second) or after N seconds; --json --follow prints a line of JSON per coach once the
// retained messages have settled (or after three seconds), then a line for a coach each time its
// row changes, as soon as it does, until interrupted or N seconds have passed. Exit status 0 when
// done, 2 for a wrong command line, 3 when the broker could not be reached.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/ProgramCommandLine.h"
#include "mqtt/BridgeSettings.h"
#include "mqtt/FleetView.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttPayloads.h"
#include "mqtt/MqttTopics.h"

namespace {

using namespace corvane;

const ProgramCommandLine commandLine(
    "corvane-fleet",
    "usage: corvane-fleet [--broker URL] [--settings FILE] [--json [--follow]] [--seconds N]\n"
    "       corvane-fleet --help | --version\n"
    "\n"
    "  --broker URL     mqtt://host:port or mqtts://host:port (default mqtt://localhost:1883)\n"
    "  --settings FILE  as corvane-bridge's: broker, username, password, ca_file\n"
    "  --json           print the fleet once as JSON when the broker has told all it keeps\n"
    "  --follow         with --json: a line of JSON per coach, then one whenever a row changes\n"
    "  --seconds N      stop after N seconds (default: when interrupted; 10 with --json)\n");

}  // namespace

int main(int argc, char** argv) {
    std::string broker;
    std::string settingsFile;
    bool json = false;
    bool follow = false;
    long seconds = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const auto status = commandLine.answerStandard(arg)) return *status;
        if (arg == "--json") {
            json = true;
        } else if (arg == "--follow") {
            follow = true;
        } else if (arg == "--broker" && hasValue) {
            broker = argv[++i];
        } else if (arg == "--settings" && hasValue) {
            settingsFile = argv[++i];
        } else if (arg == "--seconds" && hasValue) {
            char* end = nullptr;
            seconds = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || seconds < 1)
                return commandLine.refuse("--seconds takes a number from 1");
        } else if (arg == "--broker" || arg == "--settings" || arg == "--seconds") {
            return commandLine.refuse("missing value for " + std::string(arg));
        } else {
            return commandLine.refuse("unknown option: " + std::string(arg));
        }
    }
    mqtt::BridgeSettings s;
    if (!settingsFile.empty()) {
        std::ifstream file(settingsFile);
        std::stringstream text;
        text << file.rdbuf();
        std::string error;
        if (!file || !mqtt::parseBridgeSettings(text.str(), s, error)) {
            return commandLine.refuse(settingsFile + ": " +
                                      (error.empty() ? "cannot be read" : error));
        }
    }
    if (follow && !json) return commandLine.refuse("--follow goes with --json");
    if (!broker.empty()) s.broker = broker;
    const auto url = mqtt::parseMqttUrl(s.broker);
    if (!url.url) return commandLine.refuse(s.broker + ": " + url.error);
    if (json && !follow && seconds < 0) seconds = 10;

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::mutex mutex;  // guards view, changed, lastMessage, live, printed and stdout
    mqtt::FleetView view;
    bool changed = false;
    // --follow: whether the retained state has settled (until then rows come piece by piece),
    // and each coach's last line.
    bool live = false;
    std::map<std::string, std::string> printed;
    const auto printRow = [&](const std::string& coach) {
        std::string line = mqtt::jsonText(view.rowJson(coach));
        if (printed[coach] == line) return;
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
        printed[coach] = std::move(line);
    };
    using Clock = std::chrono::steady_clock;
    auto lastMessage = Clock::now();
    mqtt::MqttClient client;
    client.onMessage([&](const std::string& topic, const std::string& payload, bool) {
        std::lock_guard lock(mutex);
        lastMessage = Clock::now();
        if (!view.take(topic, payload)) return;
        changed = true;
        // Printed here, on the network thread, so that a script sees a change at once.
        if (live) printRow(mqtt::splitCoachTopic(topic).coach);
    });
    client.subscribe("corvane/+/#", 1);
    mqtt::MqttClient::Options o;
    o.url = *url.url;
    o.username = s.username;
    o.password = s.password;
    o.caFile = s.caFile;
    std::string error;
    if (!client.start(o, error)) {
        std::fprintf(stderr, "corvane-fleet: %s\n", error.c_str());
        return 2;
    }
    const auto started = Clock::now();
    const timespec tick{0, 100'000'000};
    auto lastPrint = Clock::time_point{};
    bool everConnected = false;
    for (;;) {
        if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) break;
        const auto now = Clock::now();
        everConnected = everConnected || client.connected();
        const bool timeUp = seconds > 0 && now - started >= std::chrono::seconds(seconds);
        std::lock_guard lock(mutex);
        const bool settled = everConnected && now - lastMessage >= std::chrono::seconds(1) &&
                             now - started >= std::chrono::seconds(1);
        if (follow) {
            // A busy fleet may never fall quiet for a second: live after three at most.
            const bool waited = everConnected && now - started >= std::chrono::seconds(3);
            if ((settled || waited || timeUp) && !live) {
                for (const auto& row : view.rows()) printRow(row.coach);
                live = true;
            }
        } else if (json) {
            if (settled) break;
        } else if (changed && now - lastPrint >= std::chrono::seconds(1)) {
            changed = false;
            lastPrint = now;
            std::fputs(view.toText().c_str(), stdout);
            std::fputs("\n", stdout);
            std::fflush(stdout);
        }
        if (timeUp) break;
    }
    client.stop();
    if (!everConnected) {
        std::fprintf(stderr, "corvane-fleet: could not reach %s%s%s\n", s.broker.c_str(),
                     client.lastError().empty() ? "" : ": ", client.lastError().c_str());
        return 3;
    }
    std::lock_guard lock(mutex);
    if (follow) {
        // Every change is out already.
    } else if (json) {
        std::fputs(
            (view.toJson().dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
             "\n")
                .c_str(),
            stdout);
    } else if (changed || lastPrint == Clock::time_point{}) {
        std::fputs(view.toText().c_str(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 3;
}
