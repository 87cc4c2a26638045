#include "adapters/CloudConduit.h"

#include <cstdarg>
#include <cstdio>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "adapters/CloudLogin.h"
#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "debugport/DebugPrint.h"

namespace corvane {

namespace {

constexpr size_t kReportCapacity = 256;
constexpr const char* kMaskedPassword = "***";

std::string serviceBase(const std::string& host, int32_t port) {
    return "https://" + host + ":" + std::to_string(port);
}

}  // namespace

CloudConduit::CloudConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                           DeviceTable& devices, CloudLoginPrompt& login, UserNotifier& notifier)
    : Conduit(settings, transmit),
      manager_(manager),
      devices_(devices),
      login_(login),
      notifier_(notifier),
      epoch_(std::chrono::steady_clock::now()),
      userName_(settings, "Corvane", "KestrixLinkUserName", ""),
      linkId_(settings, "Corvane", "KestrixLinkID", ""),
      linkIdType_(settings, "Corvane", "KestrixLinkIDType", KestrixLinkDetails::kByRvId),
      host_(settings, "Corvane", "KestrixLinkHost", ""),
      loginPort_(settings, "Corvane", "KestrixLinkLoginPort", 443),
      streamPort_(settings, "Corvane", "KestrixLinkStreamPort", 8080),
      caFile_(settings, "Corvane", "KestrixLinkCAFile", ""),
      endpoint_(std::make_unique<WebsocketEndpoint>(
          [this](int32_t id, const std::string& text) { onTextMessage(id, text); })) {}

CloudConduit::~CloudConduit() { endpoint_.reset(); }

std::optional<KestrixLinkDetails> CloudConduit::askLogin() {
    KestrixLinkDetails details;
    details.userName = userName_.value();
    details.linkId = linkId_.value();
    details.linkIdType = linkIdType_.value();
    if (!login_.ask(details)) return std::nullopt;
    return details;
}

bool CloudConduit::prepareConnect() {
    prepared_.reset();
    if (getState() == kDisabled) return false;
    prepared_ = askLogin();
    return prepared_.has_value();
}

int CloudConduit::connect() {
    // What was typed beforehand serves this attempt only, whatever becomes of it: a later
    // connect never logs in with it unasked.
    std::optional<KestrixLinkDetails> asked = std::exchange(prepared_, std::nullopt);
    if (getState() == kDisabled) return 0;
    CloudLogin login;
    if (!login.valid()) return 0;

    if (!asked) asked = askLogin();
    if (!asked) return 0;
    const KestrixLinkDetails& details = *asked;
    // The user asked for a new link: the old one goes before anything of the new one arrives.
    if (getState() == kConnected || getState() == kLoggedIn) disconnect();

    int32_t otc = parseOtc(details.otcText);
    bool byModule = details.linkIdType == KestrixLinkDetails::kByModuleId;
    userName_.set(details.userName);
    linkId_.set(details.linkId);
    linkIdType_.set(details.linkIdType);
    {
        std::lock_guard lock(identityMutex_);
        identity_.linkId = details.linkId;
        identity_.otc = otc;
        identity_.byModule = byModule;
    }
    otc_.store(otc, std::memory_order_relaxed);

    const std::string host = host_.value();
    const std::string caFile = caFile_.value();
    const std::string base = serviceBase(host, loginPort_.value());
    auto user = login.escape(details.userName);
    auto password = login.escape(details.password);
    std::optional<std::string> url;
    if (user && password) url = composeLoginUrl(base, *user, *password);
    if (!url) {
        // Cutting the URL would send a different user name or password: refuse instead.
        return reportError(0, "KestrixLink did not recognize the login.\r\n");
    }
    DebugPrint("\r\nConnecting to: %s\r\n", composeLoginUrl(base, *user, kMaskedPassword)->c_str());

    CloudLogin::Result result = login.get(*url, caFile);
    if (result.code != 0) {
        return reportError(0, "Error [%d] connecting to KestrixLink account\r\n", result.code);
    }
    DebugPrint("Connected to KXS account,  Response = %d bytes\r\n",
               static_cast<int>(result.body.size()));

    LoginReply reply = parseLoginReply(result.body);
    if (reply.status == LoginReply::Status::kNotJson) {
        return reportError(0, "KestrixLink did not return a valid response.\r\n");
    }
    if (reply.status == LoginReply::Status::kNotRecognised) {
        return reportError(0, "KestrixLink did not recognize the login.\r\n");
    }
    {
        std::lock_guard lock(identityMutex_);
        identity_.token = reply.token;
    }

    const std::string uri = "wss://" + host + ":" + std::to_string(streamPort_.value());
    int32_t id = endpoint_->openConnection(uri, caFile);
    if (id == -1) {
        return reportError(0, "Failed to make secure connection to KestrixLink data stream\r\n");
    }
    connectionId_.store(id, std::memory_order_relaxed);
    DebugPrint("Created connection with id %d\r\n", id);
    if (auto meta = endpoint_->getMetadata(id)) {
        DebugPrint("Connection ID: %d\r\n", meta->id());
        DebugPrint("  status : %s\r\n", meta->status().c_str());
        DebugPrint("  uri    : %s\r\n", meta->uri().c_str());
        DebugPrint("  server : %s\r\n", meta->server().c_str());
        DebugPrint("  error  : %s\r\n", meta->errorReason().c_str());
    } else {
        DebugPrint("Error finding metadata\r\n");
    }
    Conduit::setState(kLoggedIn);
    return 1;
}

void CloudConduit::disconnect() {
    {
        // Once this is done no text is being taken in, and none of the closing link will be.
        std::lock_guard lock(intakeMutex_);
        Conduit::setState(kDisconnected);
    }
    closeLink();
    manager_.reset();
}

void CloudConduit::closeLink() {
    int32_t id = connectionId();
    if (id == -1) return;
    auto meta = endpoint_->getMetadata(id);
    if (!meta) return;
    const std::string status = meta->status();
    if (status == "Connecting" || status == "Open") {
        endpoint_->closeConnection(id, WebsocketEndpoint::kCloseNormal, "");
    }
}

void CloudConduit::setState(ConduitState value) {
    if (value == kDisabled) disconnect();
    Conduit::setState(value);
}

std::string CloudConduit::location() const {
    const CloudLinkIdentity link = identity();
    const bool asked = !link.linkId.empty();
    const std::string id = asked ? link.linkId : linkId_.value();
    const bool byModule =
        asked ? link.byModule : linkIdType_.value() == KestrixLinkDetails::kByModuleId;
    std::string text = "relay " + host_.value();
    if (!id.empty()) text += std::string(byModule ? ", module ID " : ", RV ID ") + id;
    return text;
}

std::shared_ptr<connection_metadata> CloudConduit::metadata() const {
    return endpoint_->getMetadata(connectionId());
}

CloudLinkIdentity CloudConduit::identity() const {
    std::lock_guard lock(identityMutex_);
    return identity_;
}

void CloudConduit::sendConnectText(int32_t id) {
    endpoint_->sendText(id, formatConnectText(identity()));
}

void CloudConduit::service() {
    const ConduitState state = getState();
    if (state != kConnected && state != kLoggedIn) return;
    int32_t id = connectionId();
    auto meta = endpoint_->getMetadata(id);
    if (!meta) {
        disconnect();
        return;
    }
    std::string status = meta->status();
    if (status == "Connecting") return;
    if (status == "Open") {
        if (state == kLoggedIn) {
            devices_.addToolEntries();
            Conduit::setState(kConnected);
            serviceCounter_ = 0;
        } else if (serviceCounter_ % kKeepAliveCalls != 0) {
            ++serviceCounter_;
            return;
        }
        sendConnectText(id);
        ++serviceCounter_;
        return;
    }
    DebugPrint("Connection failed to Open.  Id=%d  Sts=%s\r\n", id, status.c_str());
    if (meta->verificationFailed()) {
        // The stream presented a certificate we do not trust: the user must know, not only
        // the trace.
        reportError(0, "Failed to make secure connection to KestrixLink data stream\r\n");
    }
    disconnect();
}

void CloudConduit::sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                             const uint8_t* data) {
    if (getState() != kConnected) return;
    int32_t id = connectionId();
    auto meta = endpoint_->getMetadata(id);
    if (!meta || meta->status() != "Open") return;
    std::span<const uint8_t> bytes(data, data ? length : 0);
    endpoint_->sendText(id, formatSendText(identity(), dgn, sa, priority, bytes));
}

uint32_t CloudConduit::timestampNow() const {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::steady_clock::now() - epoch_)
                  .count();
    constexpr auto kMax = std::numeric_limits<uint32_t>::max();
    return us > static_cast<int64_t>(kMax) ? kMax : static_cast<uint32_t>(us);
}

void CloudConduit::onTextMessage(int32_t id, const std::string& text) {
    std::lock_guard lock(intakeMutex_);
    if (id != connectionId() || getState() != kConnected) return;
    FrameMessage message = parseFrameMessage(text, otc(), timestampNow());
    switch (message.status) {
        case FrameMessage::Status::kFrame:
            manager_.intake(message.frame);
            break;
        case FrameMessage::Status::kBadJson:
            DebugPrint("\r\n[Bad JSON Object] %s\r\n", text.c_str());
            break;
        case FrameMessage::Status::kIgnored:
            break;
    }
}

int CloudConduit::reportError(int value, const char* format, ...) {
    char text[kReportCapacity];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) text[0] = '\0';
    DebugPrint("%s", text);
    notifier_.showMessage(text, kErrorTitle);
    return value;
}

}  // namespace corvane
