#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace corvane {

// What is known about one websocket connection. The endpoint's table and the handlers bound
// to the connection share it; the handlers write the status fields on the endpoint's worker
// thread while the adapter reads them on others, so those fields are guarded by mutex_.
class connection_metadata {
  public:
    // `verificationFailed` is shared with the TLS check of the connection, which runs before
    // the record exists.
    connection_metadata(int32_t id, std::weak_ptr<void> handle, std::string uri,
                        std::shared_ptr<std::atomic<bool>> verificationFailed);

    int32_t id() const { return id_; }
    // The websocket library's handle of the connection.
    const std::weak_ptr<void>& handle() const { return handle_; }
    const std::string& uri() const { return uri_; }

    // "Connecting", then "Open", "Failed" or "Closed".
    std::string status() const;
    // "N/A" until the peer's "Server" response header is known.
    std::string server() const;
    std::string errorReason() const;
    // The peer's certificate was refused (untrusted, or not for this host).
    bool verificationFailed() const { return verificationFailed_->load(std::memory_order_acquire); }

    void markOpen(std::string server);
    void markFailed(std::string server, std::string reason);
    void markClosed(std::string reason);

  private:
    const int32_t id_;
    const std::weak_ptr<void> handle_;
    const std::string uri_;
    mutable std::mutex mutex_;  // guards status_, server_ and errorReason_
    std::string status_ = "Connecting";
    std::string server_ = "N/A";
    std::string errorReason_;
    const std::shared_ptr<std::atomic<bool>> verificationFailed_;
};

// A secure websocket client with its own worker thread running the network event loop from
// construction to destruction, and a table of its connections by id.
//
// Peers are verified against the system's trusted certificates plus an optional extra CA
// file, and the certificate must name the host of the URI.
//
// Threads: every operation may be called from any thread; the table is guarded by a mutex
// inside. The text handler runs on the worker thread.
class WebsocketEndpoint {
  public:
    // `id` names the connection the text came on.
    using TextHandler = std::function<void(int32_t id, const std::string& text)>;

    static constexpr uint16_t kCloseNormal = 1000;
    static constexpr uint16_t kCloseGoingAway = 1001;

    explicit WebsocketEndpoint(TextHandler onText);
    // Closes every open connection (going away) and ends the worker thread.
    ~WebsocketEndpoint();
    WebsocketEndpoint(const WebsocketEndpoint&) = delete;
    WebsocketEndpoint& operator=(const WebsocketEndpoint&) = delete;

    // Starts connecting to `uri` ("wss://host:port"); the id of the new connection, or -1
    // when the connection cannot even be created. `caFile` may be empty.
    int32_t openConnection(const std::string& uri, const std::string& caFile);
    void closeConnection(int32_t id, uint16_t code, const std::string& reason);
    void sendText(int32_t id, const std::string& text);
    std::shared_ptr<connection_metadata> getMetadata(int32_t id) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvane
