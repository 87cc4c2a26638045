#include "mqtt/MqttClient.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace corvane::mqtt {

MqttClient::MqttClient() { mosquitto_lib_init(); }

MqttClient::~MqttClient() {
    stop();
    mosquitto_lib_cleanup();
}

bool MqttClient::start(const Options& o, std::string& error) {
    if (mosq_ != nullptr) {
        error = "already started";
        return false;
    }
    if (!o.password.empty() && !o.url.tls && !isLoopbackHost(o.url.host)) {
        error = "refusing to send a password in the clear to " + o.url.host +
                ": use mqtts:// or a broker on this machine";
        return false;
    }
    if (!o.caFile.empty() && !std::ifstream(o.caFile).good()) {
        error = "cannot read the CA file " + o.caFile;
        return false;
    }
    mosq_ = mosquitto_new(o.clientId.empty() ? nullptr : o.clientId.c_str(), true, this);
    if (mosq_ == nullptr) {
        error = "cannot create an MQTT client";
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MqttClient::connectCallback);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::disconnectCallback);
    mosquitto_message_callback_set(mosq_, &MqttClient::messageCallback);
    mosquitto_publish_callback_set(mosq_, &MqttClient::publishCallback);
    mosquitto_log_callback_set(mosq_, &MqttClient::logCallback);
    int rc = MOSQ_ERR_SUCCESS;
    if (!o.username.empty()) {
        rc = mosquitto_username_pw_set(mosq_, o.username.c_str(),
                                       o.password.empty() ? nullptr : o.password.c_str());
    }
    if (rc == MOSQ_ERR_SUCCESS && !o.willTopic.empty()) {
        rc = mosquitto_will_set(mosq_, o.willTopic.c_str(), static_cast<int>(o.willPayload.size()),
                                o.willPayload.data(), 1, true);
    }
    if (rc == MOSQ_ERR_SUCCESS && o.url.tls) {
        mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (!o.caFile.empty()) {
            rc = mosquitto_tls_set(mosq_, o.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        }
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_opts_set(mosq_, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_insecure_set(mosq_, false);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        error = std::string("cannot set up the MQTT client: ") + mosquitto_strerror(rc);
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
        return false;
    }
    mosquitto_threaded_set(mosq_, true);
    url_ = o.url;
    keepAlive_ = o.keepAliveSeconds;
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = false;
    }
    network_ = std::thread([this] { run(); });
    return true;
}

void MqttClient::run() {
    // A loop that waits this long for the socket still notices a stop soon enough.
    constexpr int kLoopMillis = 200;
    std::chrono::milliseconds backoff = kFirstRetry;
    while (!stopRequested()) {
        accepted_ = false;
        refused_ = false;
        // The TCP connection is made here (a stop waits for it); the rest in the loop.
        int rc = mosquitto_connect(mosq_, url_.host.c_str(), url_.port, keepAlive_);
        int err = errno;
        if (rc == MOSQ_ERR_SUCCESS) {
            while (!stopRequested()) {
                rc = mosquitto_loop(mosq_, kLoopMillis, 1);
                err = errno;
                if (rc != MOSQ_ERR_SUCCESS) break;
            }
        }
        // A stop leaves an open connection to stop() or abandon().
        if (stopRequested()) return;
        connected_.store(false, std::memory_order_release);
        noteFailure(rc, err);
        const auto delay = accepted_ ? kFirstRetry : backoff;
        backoff = std::min(delay * 2, kMaxRetry);
        if (pauseUnlessStopped(delay)) return;
    }
}

void MqttClient::noteFailure(int rc, int err) {
    std::lock_guard lock(mutex_);
    // A refused login has told its reason already (connectCallback).
    if (refused_) return;
    if (rc == MOSQ_ERR_ERRNO) {
        lastError_ = std::strerror(err);
    } else if (rc != MOSQ_ERR_SUCCESS) {
        lastError_ = mosquitto_strerror(rc);
    }
}

bool MqttClient::stopRequested() {
    std::lock_guard lock(stopMutex_);
    return stopping_;
}

bool MqttClient::pauseUnlessStopped(std::chrono::milliseconds delay) {
    std::unique_lock lock(stopMutex_);
    return stopWake_.wait_for(lock, delay, [this] { return stopping_; });
}

void MqttClient::joinNetwork() {
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopWake_.notify_all();
    if (network_.joinable()) network_.join();
}

void MqttClient::stop() {
    if (mosq_ == nullptr) return;
    joinNetwork();
    // The network thread is gone: this thread alone drives the connection to its end.
    if (connected() && mosquitto_disconnect(mosq_) == MOSQ_ERR_SUCCESS) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (std::chrono::steady_clock::now() < limit &&
               mosquitto_loop(mosq_, 50, 1) == MOSQ_ERR_SUCCESS) {
        }
    }
    mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    connected_ = false;
}

void MqttClient::abandon() {
    if (mosq_ == nullptr) return;
    joinNetwork();
    mosquitto_destroy(mosq_);  // closes the socket without a word
    mosq_ = nullptr;
    connected_ = false;
}

bool MqttClient::publish(const std::string& topic, const std::string& payload, int qos,
                         bool retain) {
    if (mosq_ == nullptr || !connected()) return false;
    unacked_.fetch_add(1, std::memory_order_acq_rel);
    const bool queued =
        mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), qos, retain) == MOSQ_ERR_SUCCESS;
    if (!queued) unacked_.fetch_sub(1, std::memory_order_acq_rel);
    return queued;
}

bool MqttClient::subscribe(const std::string& pattern, int qos) {
    {
        std::lock_guard lock(mutex_);
        subscriptions_.emplace_back(pattern, qos);
    }
    if (mosq_ == nullptr || !connected()) return true;  // made on connection
    return mosquitto_subscribe(mosq_, nullptr, pattern.c_str(), qos) == MOSQ_ERR_SUCCESS;
}

std::string MqttClient::lastError() const {
    std::lock_guard lock(mutex_);
    // libmosquitto's own message names the cause; its error code only the kind.
    return logError_.empty() ? lastError_ : logError_;
}

void MqttClient::connectCallback(mosquitto* m, void* self, int rc) {
    auto* c = static_cast<MqttClient*>(self);
    if (rc != 0) {
        std::lock_guard lock(c->mutex_);
        c->lastError_ = mosquitto_connack_string(rc);
        c->refused_ = true;
        return;
    }
    c->accepted_ = true;
    std::vector<std::pair<std::string, int>> subscriptions;
    {
        std::lock_guard lock(c->mutex_);
        c->lastError_.clear();
        c->logError_.clear();
        subscriptions = c->subscriptions_;
    }
    for (const auto& [pattern, qos] : subscriptions) {
        mosquitto_subscribe(m, nullptr, pattern.c_str(), qos);
    }
    c->connected_.store(true, std::memory_order_release);
    if (c->onConnected_) c->onConnected_();
}

void MqttClient::disconnectCallback(mosquitto*, void* self, int rc) {
    auto* c = static_cast<MqttClient*>(self);
    c->connected_.store(false, std::memory_order_release);
    // What the lost connection held is not waited for: the owner sends it again.
    c->unacked_.store(0, std::memory_order_release);
    // A refused login keeps the broker's own reason.
    if (rc != 0 && !c->refused_) {
        std::lock_guard lock(c->mutex_);
        c->lastError_ = mosquitto_strerror(rc);
    }
}

void MqttClient::logCallback(mosquitto*, void* self, int level, const char* text) {
    // A failed TLS handshake is told only here. libmosquitto's messages never hold a password.
    if ((level & MOSQ_LOG_ERR) == 0 || text == nullptr) return;
    auto* c = static_cast<MqttClient*>(self);
    std::lock_guard lock(c->mutex_);
    if (c->logError_.empty()) c->logError_ = text;  // the first tells the cause
}

void MqttClient::publishCallback(mosquitto*, void* self, int) {
    // QoS 0 once written, QoS 1 once acknowledged.
    auto* c = static_cast<MqttClient*>(self);
    int n = c->unacked_.load(std::memory_order_acquire);
    while (n > 0 && !c->unacked_.compare_exchange_weak(n, n - 1, std::memory_order_acq_rel)) {
    }
}

void MqttClient::messageCallback(mosquitto*, void* self, const mosquitto_message* m) {
    auto* c = static_cast<MqttClient*>(self);
    if (!c->onMessage_ || m->topic == nullptr) return;
    const std::string payload(static_cast<const char*>(m->payload),
                              static_cast<size_t>(m->payloadlen));
    c->onMessage_(m->topic, payload, m->retain);
}

}  // namespace corvane::mqtt
