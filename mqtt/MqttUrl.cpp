#include "mqtt/MqttUrl.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <string>

namespace corvane::mqtt {

namespace {

MqttUrlResult fail(std::string why) { return {std::nullopt, std::move(why)}; }

}  // namespace

MqttUrlResult parseMqttUrl(std::string_view text) {
    MqttUrl url;
    std::string_view rest;
    if (text.starts_with("mqtt://")) {
        rest = text.substr(7);
        url.port = 1883;
    } else if (text.starts_with("mqtts://")) {
        rest = text.substr(8);
        url.tls = true;
        url.port = 8883;
    } else {
        return fail("a broker is mqtt://host:port or mqtts://host:port");
    }
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    std::string_view host = rest;
    std::string_view port;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos) return fail("no closing ] in the broker's address");
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return fail("unexpected text after the broker's address");
            port = after.substr(1);
            if (port.empty()) return fail("no port after ':'");
        }
    } else if (const size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (port.empty()) return fail("no port after ':'");
    }
    if (host.empty()) return fail("no host in the broker's address");
    if (host.find_first_of("/@ ?#") != std::string_view::npos) {
        return fail("not a host name: " + std::string(host));
    }
    if (!port.empty()) {
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535) {
            return fail("the port is a number from 1 to 65535");
        }
        url.port = value;
    }
    url.host = std::string(host);
    return {std::move(url), {}};
}

bool isLoopbackHost(std::string_view host) {
    if (host == "localhost") return true;
    // Only an address decides: a name such as "127.evil.example" may lead anywhere.
    const std::string text(host);
    in_addr v4{};
    if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;  // ::ffff:127.x.x.x
    }
    return false;
}

}  // namespace corvane::mqtt
