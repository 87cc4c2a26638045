#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvane::sim {

// The network side of the relay: an HTTPS server for the login and a secure websocket
// server for the stream, each on its own port and worker thread. Knows nothing of logins or
// frames; the handlers decide.
//
// Threads: the HTTP handler runs on the login worker, the stream handlers on the stream
// worker; sendText and closeAll may be called from any thread.
class RelayTransport {
  public:
    struct HttpAnswer {
        int status = 200;
        std::string body;
    };
    struct Handlers {
        std::function<HttpAnswer(const std::string& resource)> onGet;
        std::function<void(int32_t link)> onOpen;
        std::function<void(int32_t link, const std::string& text)> onText;
        std::function<void(int32_t link)> onClose;
    };
    struct Tls {
        std::string certificatePem;
        std::string keyPem;
    };

    explicit RelayTransport(Handlers handlers);
    ~RelayTransport();
    RelayTransport(const RelayTransport&) = delete;
    RelayTransport& operator=(const RelayTransport&) = delete;

    // Listens on 127.0.0.1 at the given ports (0: any free port). False with `error` set
    // when either server cannot start.
    bool start(const Tls& login, uint16_t loginPort, const Tls& stream, uint16_t streamPort,
               std::string& error);
    void stop();
    uint16_t loginPort() const;
    uint16_t streamPort() const;

    // While held, new websocket handshakes wait (the stream worker is blocked) until release.
    void holdHandshakes(bool hold);
    void sendText(int32_t link, const std::string& text);
    // Closes every open link with code 1000 and `reason`.
    void closeAll(const std::string& reason);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvane::sim
