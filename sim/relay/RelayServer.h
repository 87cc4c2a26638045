#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/RvcFrame.h"
#include "sim/LiveVehicle.h"
#include "sim/relay/CertificateAuthority.h"
#include "sim/relay/LoginQuery.h"
#include "sim/relay/RelayTransport.h"

namespace corvane::sim {

// A local stand-in for the KestrixLink service, for tests and the demo. The login answers
// GET "/login/credentials.php" with a JSON token for its one known user; the stream takes
// "corvane-connect" texts (a link with a valid token starts receiving the vehicle's frames,
// each carrying the link's one-time code as "code") and "corvane-send" texts (their frames
// go onto the simulated vehicle).
//
// Threads: the transport's workers run the handlers; the vehicle's thread streams frames;
// the test hooks may be called from any thread. Everything shared is under mutex_.
class RelayServer {
  public:
    // How the login answers a known user, so that clients can meet each failure.
    enum class LoginMode {
        kToken,        // {"token":"..."}
        kNotJson,      // 200 with an HTML body
        kHttpError,    // 503 with a text body
        kNumberToken,  // {"token":12345}
    };

    struct Options {
        std::string userName = "technician";
        std::string password = "service";
        CertifiedKey loginTls;
        CertifiedKey streamTls;
        uint16_t loginPort = 0;  // 0: any free port
        uint16_t streamPort = 0;
        bool liveVehicle = true;  // stream a simulated vehicle in real time
        uint32_t seed = 1;
    };

    explicit RelayServer(Options options);
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    bool start(std::string& error);
    void stop();
    uint16_t loginPort() const { return transport_.loginPort(); }
    uint16_t streamPort() const { return transport_.streamPort(); }

    void setLoginMode(LoginMode mode);
    void holdHandshakes(bool hold) { transport_.holdHandshakes(hold); }
    // Sends `text` as it is on every open link.
    void sendToLinks(const std::string& text);
    // Closes every open link (code 1000).
    void closeLinks() { transport_.closeAll("relay closed the link"); }

    size_t openLinks() const;
    // Every text received on the stream, in order.
    std::vector<std::string> receivedTexts() const;
    // Every frame a "corvane-send" put onto the vehicle.
    std::vector<RvcFrame> framesToVehicle() const;
    // Every login request, decoded.
    std::vector<LoginQuery> logins() const;
    // Frames streamed to linked clients so far.
    uint64_t framesStreamed() const;

  private:
    struct Link {
        bool linked = false;  // a valid "corvane-connect" arrived
        int32_t otc = 0;
    };

    RelayTransport::HttpAnswer answerGet(const std::string& target);
    void onText(int32_t link, const std::string& text);
    void streamFrame(const RvcFrame& frame);

    Options options_;
    mutable std::mutex mutex_;  // guards everything below
    LoginMode mode_ = LoginMode::kToken;
    std::set<std::string> tokens_;
    std::map<int32_t, Link> links_;
    std::vector<std::string> received_;
    std::vector<RvcFrame> toVehicle_;
    std::vector<LoginQuery> logins_;
    uint64_t streamed_ = 0;

    LiveVehicle vehicle_;
    RelayTransport transport_;  // after the state its handlers use
};

}  // namespace corvane::sim
