#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mqtt/MqttUrl.h"

struct mosquitto;
struct mosquitto_message;

namespace corvane::mqtt {

// One connection to an MQTT broker over libmosquitto, kept up by a network thread of our own
// that drives mosquitto_loop. Whatever ends a connection or stops one being made (the broker
// away or restarting, a failed TLS handshake, a protocol error, a refused login), the thread
// tries again: kFirstRetry after the loss of a connection that had been accepted, then twice as
// long after each further failure, up to kMaxRetry apart. (libmosquitto's own loop thread gives
// up for good on a TLS or protocol error, which would leave a service up but never connected.)
// The last will is set before the first connection.
//
// TLS (mqtts://) verifies the broker's certificate against the system's authorities and, when
// given, `caFile`, and verifies its host name. A certificate that fails is tried again like any
// failure; lastError() says why. A password is never printed or traced, and is refused over
// plain mqtt:// to any host that is not the machine itself.
//
// Threads: publish() and subscribe() may be called from any thread (libmosquitto locks; the
// client is in its threaded mode). The callbacks run on the network thread; they must not call
// stop(). start(), stop(), abandon() and the destructor are called by the owner only.
class MqttClient {
  public:
    struct Options {
        MqttUrl url;
        std::string clientId;
        std::string username;
        std::string password;
        std::string caFile;
        std::string willTopic;  // empty: no will
        std::string willPayload;
        int keepAliveSeconds = 30;
    };
    static constexpr std::chrono::milliseconds kFirstRetry{1000};
    static constexpr std::chrono::milliseconds kMaxRetry{30000};
    // `retained`: the broker kept it from before this subscription, not sent just now.
    using MessageHandler =
        std::function<void(const std::string& topic, const std::string& payload, bool retained)>;

    MqttClient();
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Called on each (re)connection, then for every message of a subscription. Set before start.
    void onConnected(std::function<void()> handler) { onConnected_ = std::move(handler); }
    void onMessage(MessageHandler handler) { onMessage_ = std::move(handler); }

    // Checks the options and starts connecting in the background; false with `error` set
    // when they cannot work (a password in the clear, an unreadable CA file, ...). A broker
    // that is away is no error: the client keeps trying.
    bool start(const Options& options, std::string& error);
    // Stops the network thread, then sends what is queued and DISCONNECT (the broker drops the
    // will), waiting at most about a second for a broker that does not read.
    void stop();
    // Closes the connection without DISCONNECT, as a crash would: the broker sends the will.
    void abandon();

    bool connected() const { return connected_.load(std::memory_order_acquire); }
    // Queues a message; false when not connected (nothing is kept here).
    bool publish(const std::string& topic, const std::string& payload, int qos, bool retain);
    // Subscriptions are made again on each reconnection.
    bool subscribe(const std::string& pattern, int qos);
    // Messages handed to libmosquitto and not yet written (QoS 0) or acknowledged (QoS 1).
    int unacknowledged() const { return unacked_.load(std::memory_order_acquire); }
    // The reason of the last failed connection, "" while connected.
    std::string lastError() const;

  private:
    static void connectCallback(mosquitto*, void* self, int rc);
    static void disconnectCallback(mosquitto*, void* self, int rc);
    static void logCallback(mosquitto*, void* self, int level, const char* text);
    static void publishCallback(mosquitto*, void* self, int mid);
    static void messageCallback(mosquitto*, void* self, const mosquitto_message* m);

    mosquitto* mosq_ = nullptr;
    std::atomic<bool> connected_{false};
    std::atomic<int> unacked_{0};
    std::function<void()> onConnected_;
    MessageHandler onMessage_;
    mutable std::mutex mutex_;  // guards subscriptions_, lastError_ and logError_
    std::vector<std::pair<std::string, int>> subscriptions_;
    std::string lastError_;
    std::string logError_;  // libmosquitto's first error message since the last connection
    std::mutex stopMutex_;  // guards stopping_ for the network thread's waits
    std::condition_variable stopWake_;
    bool stopping_ = false;
    std::thread network_;
    // The network thread's (the owner's once it is joined): the broker accepted the current
    // connection, or refused it.
    bool accepted_ = false;
    bool refused_ = false;
    MqttUrl url_;
    int keepAlive_ = 30;

    void run();
    bool stopRequested();
    // Waits `delay` unless stop is asked for first; true when it was.
    bool pauseUnlessStopped(std::chrono::milliseconds delay);
    void noteFailure(int rc, int err);
    void joinNetwork();
};

}  // namespace corvane::mqtt
