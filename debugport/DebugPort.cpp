#include "debugport/DebugPort.h"

#include <array>
#include <cstdio>
#include <string>

#include "debugport/LineAssembler.h"
#include "platform/TcpPeerOwner.h"

namespace corvane {

namespace {

constexpr size_t kChunkSize = 512;

}  // namespace

DebugPort::DebugPort(SettingsStore& settings, uint16_t port)
    : enabled_(settings, "Corvane", "DebugPortEnabled", 0), requestedPort_(port) {}

DebugPort::~DebugPort() { stop(); }

bool DebugPort::start(bool forThisRun) {
    if (started_ || (!forThisRun && !enabledSetting())) return false;
    started_ = true;
    if (!listener_.listen(kListenAddress, requestedPort_)) {
        // Perhaps somebody else holds the port: whoever connects to it then is not talking
        // to us, and the user must know.
        DebugPrint("Debug port %u cannot be opened (%s); it stays closed\r\n",
                   unsigned{requestedPort_}, listener_.error().c_str());
        std::fprintf(stderr, "corvane: the debug port %u cannot be opened (%s); it stays closed\n",
                     unsigned{requestedPort_}, listener_.error().c_str());
        return false;
    }
    port_.store(listener_.port(), std::memory_order_relaxed);
    running_.store(true, std::memory_order_release);
    thread_ = std::thread([this] { run(); });
    return true;
}

void DebugPort::stop() {
    stop_.store(true, std::memory_order_release);
    listener_.interrupt();
    {
        std::lock_guard lock(clientMutex_);
        if (client_) client_->shutdownBoth();  // wakes a listener blocked in receive
    }
    if (thread_.joinable()) thread_.join();
    // The listener has ended, so no command can be running any more.
    commands_.clear();
}

void DebugPort::run() {
    while (!stop_.load(std::memory_order_acquire)) {
        std::optional<TcpStream> stream = listener_.accept();
        if (!stream) break;
        if (!fromThisUser(*stream)) continue;  // closed unserved
        {
            std::lock_guard lock(clientMutex_);
            client_ = &*stream;
            sendFailed_.store(false, std::memory_order_relaxed);
            connected_.store(true, std::memory_order_release);
        }
        // A stop that came before the client was published above has not seen it.
        if (stop_.load(std::memory_order_acquire)) stream->shutdownBoth();
        SetDebugSink(this);
        serve(*stream);
        SetDebugSink(nullptr);
        {
            std::lock_guard lock(clientMutex_);
            connected_.store(false, std::memory_order_release);
            client_ = nullptr;
        }
        stream->shutdownSend();
    }
    listener_.close();
    port_.store(0, std::memory_order_relaxed);
    running_.store(false, std::memory_order_release);
}

bool DebugPort::fromThisUser(const TcpStream& stream) const {
    const std::optional<uint32_t> peer = stream.peerUserId();
    const uint32_t us = TcpPeerOwner::currentUser();
    if (peer && *peer == us) return true;
    const std::string who = peer ? "user " + std::to_string(*peer) : std::string("an unknown user");
    DebugPrint("Debug port connection from %s refused\r\n", who.c_str());
    std::fprintf(stderr, "corvane: debug port connection from %s refused\n", who.c_str());
    return false;
}

void DebugPort::serve(TcpStream& stream) {
    LineAssembler lines;
    std::array<uint8_t, kChunkSize> chunk;
    for (;;) {
        long n = stream.receive(chunk);
        if (n <= 0) return;  // closed by the client, by stop(), or a socket error
        for (const std::string& line : lines.feed(std::span(chunk.data(), size_t(n)))) {
            executeLine(line);
        }
        // A client that no longer takes our text is dropped; the port waits for the next.
        if (sendFailed_.load(std::memory_order_relaxed) || stop_.load(std::memory_order_acquire)) {
            return;
        }
    }
}

void DebugPort::write(std::string_view text) {
    std::lock_guard lock(clientMutex_);
    if (!client_ || !connected_.load(std::memory_order_relaxed)) return;
    // A client that stopped taking our text costs one send time-out, not one per trace.
    if (sendFailed_.load(std::memory_order_relaxed)) return;
    if (!client_->send(text)) {
        sendFailed_.store(true, std::memory_order_relaxed);
        // The listener may be waiting for a line that never comes: wake it to drop the client.
        client_->shutdownBoth();
    }
}

void DebugPort::executeLine(const std::string& line) {
    if (line.empty()) return;
    if (line[0] == '?') {
        std::string list = "Available Commands\n\r";
        for (const std::string& keyword : commands_.keywords()) list += keyword + "\n\r";
        write(list);
        return;
    }
    size_t blank = line.find(' ');
    std::string keyword = line.substr(0, blank);
    std::string parameter = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (std::shared_ptr<Command> command = commands_.find(keyword)) {
        command->Execute(parameter, *this);
    } else {
        DebugPrint("Unrecognized command: %s\n\r", line.c_str());
    }
}

}  // namespace corvane
