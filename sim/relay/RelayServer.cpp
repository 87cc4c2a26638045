#include "sim/relay/RelayServer.h"

#include <nlohmann/json.hpp>
#include <random>

namespace corvane::sim {

namespace {

constexpr const char* kLoginPath = "/login/credentials.php";

std::string newToken() {
    std::random_device random;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) token += kHex[random() & 15];
    return token;
}

// {"type":"frame","code":42,"sa":66,"pgn":130762,"priority":6,"data":[1,2,3]}
std::string frameMessage(const RvcFrame& frame, int32_t code) {
    nlohmann::json data = nlohmann::json::array();
    for (size_t i = 0; i < heldBytes(frame); ++i) data.push_back(frame.data[i]);
    nlohmann::json message = {{"type", "frame"},
                              {"code", code},
                              {"sa", frame.sa},
                              {"pgn", uint32_t{frame.dgn}},
                              {"priority", frame.priority},
                              {"data", data}};
    return message.dump();
}

}  // namespace

RelayServer::RelayServer(Options options)
    : options_(std::move(options)),
      vehicle_(options_.seed),
      transport_(RelayTransport::Handlers{
          [this](const std::string& target) { return answerGet(target); },
          [this](int32_t link) {
              std::lock_guard lock(mutex_);
              links_[link] = Link{};
          },
          [this](int32_t link, const std::string& text) { onText(link, text); },
          [this](int32_t link) {
              std::lock_guard lock(mutex_);
              links_.erase(link);
          }}) {}

RelayServer::~RelayServer() { stop(); }

bool RelayServer::start(std::string& error) {
    RelayTransport::Tls login{options_.loginTls.certificatePem, options_.loginTls.keyPem};
    RelayTransport::Tls stream{options_.streamTls.certificatePem, options_.streamTls.keyPem};
    if (!transport_.start(login, options_.loginPort, stream, options_.streamPort, error)) {
        return false;
    }
    if (options_.liveVehicle) vehicle_.start([this](const RvcFrame& f) { streamFrame(f); });
    return true;
}

void RelayServer::stop() {
    vehicle_.stop();
    transport_.stop();
}

void RelayServer::setLoginMode(LoginMode mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

RelayTransport::HttpAnswer RelayServer::answerGet(const std::string& target) {
    auto query = parseLoginQuery(target);
    if (!query) return {400, "{\"error\":\"malformed request\"}"};
    std::lock_guard lock(mutex_);
    logins_.push_back(*query);
    if (query->path != kLoginPath) return {404, "{\"error\":\"not found\"}"};
    switch (mode_) {
        case LoginMode::kNotJson:
            return {200, "<html><body>Down for maintenance</body></html>"};
        case LoginMode::kHttpError:
            return {503, "Service Unavailable"};
        case LoginMode::kNumberToken:
            return {200, "{\"token\":12345}"};
        case LoginMode::kToken:
            break;
    }
    if (query->userName != options_.userName || query->password != options_.password) {
        return {200, "{\"error\":\"unknown user name or password\"}"};
    }
    std::string token = newToken();
    tokens_.insert(token);
    return {200, nlohmann::json{{"token", token}, {"user", query->userName}}.dump()};
}

void RelayServer::onText(int32_t link, const std::string& text) {
    std::unique_lock lock(mutex_);
    received_.push_back(text);
    nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
    if (!message.is_object() || !message.contains("type") || !message["type"].is_string()) return;
    auto token = message.find("token");
    if (token == message.end() || !token->is_string() || !tokens_.count(token->get<std::string>()))
        return;
    auto it = links_.find(link);
    if (it == links_.end()) return;
    auto otc = message.find("otc");
    if (otc == message.end() || !otc->is_number_integer()) return;

    const std::string type = message["type"].get<std::string>();
    if (type == "corvane-connect") {
        it->second.linked = true;
        it->second.otc = otc->get<int32_t>();
        return;
    }
    if (type != "corvane-send" || !it->second.linked) return;
    auto pgn = message.find("pgn");
    auto address = message.find("address");
    auto priority = message.find("priority");
    auto data = message.find("data");
    if (pgn == message.end() || address == message.end() || priority == message.end() ||
        data == message.end() || !pgn->is_number_integer() || !address->is_number_integer() ||
        !priority->is_number_integer() || !data->is_array() || data->size() > 8) {
        return;
    }
    RvcFrame frame{};
    frame.kind = RvcFrame::kKind;
    frame.dgn = pgn->get<uint32_t>() & 0x3FFFF;
    frame.sa = static_cast<uint8_t>(address->get<int32_t>() & 0xFF);
    frame.priority = static_cast<uint8_t>(priority->get<int32_t>() & 7);
    frame.length = static_cast<uint16_t>(data->size());
    for (size_t i = 0; i < data->size(); ++i) {
        if (!(*data)[i].is_number_integer()) return;
        frame.data[i] = static_cast<uint8_t>((*data)[i].get<int32_t>() & 0xFF);
    }
    toVehicle_.push_back(frame);
    lock.unlock();
    if (options_.liveVehicle) vehicle_.vehicle().receive(frame);
}

void RelayServer::streamFrame(const RvcFrame& frame) {
    std::vector<std::pair<int32_t, int32_t>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, link] : links_) {
            if (link.linked) targets.emplace_back(id, link.otc);
        }
        streamed_ += targets.size();
    }
    for (const auto& [id, otc] : targets) transport_.sendText(id, frameMessage(frame, otc));
}

void RelayServer::sendToLinks(const std::string& text) {
    std::vector<int32_t> ids;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : links_) ids.push_back(entry.first);
    }
    for (int32_t id : ids) transport_.sendText(id, text);
}

size_t RelayServer::openLinks() const {
    std::lock_guard lock(mutex_);
    return links_.size();
}

std::vector<std::string> RelayServer::receivedTexts() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<RvcFrame> RelayServer::framesToVehicle() const {
    std::lock_guard lock(mutex_);
    return toVehicle_;
}

std::vector<LoginQuery> RelayServer::logins() const {
    std::lock_guard lock(mutex_);
    return logins_;
}

uint64_t RelayServer::framesStreamed() const {
    std::lock_guard lock(mutex_);
    return streamed_;
}

}  // namespace corvane::sim
