#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "debugport/CommandRegistry.h"
#include "debugport/DebugPrint.h"
#include "platform/IntegerSetting.h"
#include "platform/SettingsStore.h"
#include "platform/TcpListener.h"
#include "platform/TcpStream.h"

namespace corvane {

// The TCP text port for developers: one client at a time types command words and reads the
// reports, and - while connected - receives every DebugPrint line. Listens on 127.0.0.1 only:
// traces and commands are nobody else's business on the network. Nor are they another local
// user's: a connection is served only when its other end belongs to the user running the
// tool (a "folder" command would otherwise let anybody choose the modules we start); any
// other is closed unserved, with a trace and a line on stderr.
//
// Threads: start()/stop() on the thread that owns the object; the listener thread accepts,
// reads and runs commands; write() (the trace sink) from any thread. clientMutex_ guards the
// use of the connected stream by threads other than the listener.
class DebugPort final : public DebugSink {
  public:
    static constexpr uint16_t kDefaultPort = 65226;
    static constexpr const char* kListenAddress = "127.0.0.1";

    explicit DebugPort(SettingsStore& settings, uint16_t port = kDefaultPort);
    ~DebugPort() override;
    DebugPort(const DebugPort&) = delete;
    DebugPort& operator=(const DebugPort&) = delete;

    CommandRegistry& commands() { return commands_; }
    // The "DebugPortEnabled" setting as read at construction.
    bool enabledSetting() const { return enabled_.value() == 1; }

    // Opens the port when DebugPortEnabled is 1 or `forThisRun` is set. False when the port
    // stays closed (not wanted, already started once, or the socket could not be set up; the
    // last is told in the trace and on stderr).
    bool start(bool forThisRun = false);
    // Ends the listener, whether it waits for a client, reads one or runs a command, and
    // waits for it; then drops every command. Safe to call more than once.
    void stop();

    // The port bound (useful when constructed with port 0); 0 while closed.
    uint16_t port() const { return port_.load(std::memory_order_relaxed); }
    bool listening() const { return running_.load(std::memory_order_acquire); }
    bool clientConnected() const { return connected_.load(std::memory_order_acquire); }

    // Sends text to the connected client; dropped when nobody is connected.
    void write(std::string_view text) override;

    // Runs one command line as the listener does for a line the client typed.
    void executeLine(const std::string& line);

  private:
    void run();
    // Whether the client is the user running the tool; traces the refusal when not.
    bool fromThisUser(const TcpStream& stream) const;
    void serve(TcpStream& stream);

    IntegerSetting enabled_;
    uint16_t requestedPort_;
    CommandRegistry commands_;
    TcpListener listener_;
    std::thread thread_;
    bool started_ = false;  // owner thread only: the listener starts once per run

    std::atomic<uint16_t> port_{0};
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> sendFailed_{false};

    std::mutex clientMutex_;  // guards client_ against other threads
    TcpStream* client_ = nullptr;
};

}  // namespace corvane
