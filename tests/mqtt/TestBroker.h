#pragma once

#include <sys/types.h>

#include <string>

namespace corvane::test {

// Debian's mosquitto broker, started by a test on a free loopback port with a configuration of
// its own: anonymous clients (or one user with a password, made with mosquitto_passwd),
// retained messages persisted to a temporary folder so that a graceful restart keeps them. The TLS
// variant makes a certificate authority and a server certificate for `certificateHost` (a DNS name
// or IP address) at start, with the openssl command.
//
// start() waits until the broker accepts connections (looking every few ms, no fixed sleep).
// One test thread uses it; the destructor stops the broker and removes the folder.
struct TestBrokerTls {
    bool on = false;
    std::string certificateHost = "127.0.0.1";
};

class TestBroker {
  public:
    using Tls = TestBrokerTls;

    TestBroker() : TestBroker(Tls{}) {}
    explicit TestBroker(Tls tls);
    ~TestBroker();
    TestBroker(const TestBroker&) = delete;
    TestBroker& operator=(const TestBroker&) = delete;

    // Starts the broker (on the port chosen before, if any); false when it did not come up.
    bool start();
    // Stops it gracefully (it writes its retained messages to disk).
    void stop();
    // Kills it as a crash would: connections end without a word, nothing is written.
    void kill();
    bool restart() {
        stop();
        return start();
    }

    // From the next start() on, only this user is let in. False when the password file could
    // not be made.
    bool requirePassword(const std::string& user, const std::string& password);
    // The port the next start() listens on (else a free one is chosen).
    void usePort(int port) { port_ = port; }
    int port() const { return port_; }
    std::string url() const;
    // The certificate authority's certificate file (TLS variant).
    std::string caFile() const { return folder_ + "/ca.crt"; }
    const std::string& folder() const { return folder_; }

  private:
    bool makeCertificates();
    bool accepting() const;

    Tls tls_;
    bool passwordRequired_ = false;
    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// A free TCP port on 127.0.0.1 at the moment of asking.
int freeLoopbackPort();

}  // namespace corvane::test
