#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane::mqtt {

// Where a broker is: "mqtt://host:port" (plain, default port 1883) or "mqtts://host:port"
// (TLS, default port 8883). Pure; no name is resolved.
//   "mqtt://broker.local"          -> plain, "broker.local", 1883
//   "mqtts://10.0.0.5:9000"        -> TLS, "10.0.0.5", 9000
//   "mqtt://[::1]:1884"            -> plain, "::1", 1884
//   "http://x", "mqtt://", "mqtt://h:0", "mqtt://h:x" -> error
struct MqttUrl {
    bool tls = false;
    std::string host;
    int port = 0;
};

struct MqttUrlResult {
    std::optional<MqttUrl> url;
    std::string error;  // set when url is empty
};

MqttUrlResult parseMqttUrl(std::string_view text);

// True for a name or address that never leaves the machine: the name "localhost", an IPv4
// address in 127.0.0.0/8, "::1" (or 127/8 mapped into IPv6). Names are not resolved:
// "127.evil.example" and "localhost.example" are not the machine.
bool isLoopbackHost(std::string_view host);

}  // namespace corvane::mqtt
