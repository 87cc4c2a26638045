#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "platform/MailslotWriter.h"

namespace corvane {

// The writing end of a module's mailslot with the room a mailslot has. A datagram socket
// queues only a handful of messages for its reader (net.unix.max_dgram_qlen, 10 by default),
// so a module that reads on its own thread still falls behind whenever the tool writes a
// burst. Messages that find the reader's queue full wait here, in order, and the outbox's own
// thread hands them on as room appears. Writers never wait. Only a reader that is gone, or
// that falls kCapacity bytes behind, loses messages.
//
// write() may be called from several threads at once; close() from one thread while no other
// writes.
class MailslotOutbox {
  public:
    static constexpr size_t kCapacity = size_t{1} << 20;  // bytes of messages waiting
    static constexpr int kCloseWaitMs = 500;              // for a live reader to take the rest

    MailslotOutbox() = default;
    // Takes over an open writer; an invalid one gives an invalid outbox without a thread.
    explicit MailslotOutbox(MailslotWriter writer);
    ~MailslotOutbox();
    MailslotOutbox(const MailslotOutbox&) = delete;
    MailslotOutbox& operator=(const MailslotOutbox&) = delete;

    bool valid() const { return writer_.valid(); }
    // The writer's descriptor, unique among the open writers of this process.
    int handle() const { return writer_.handle(); }

    // One message, written now or queued behind those waiting. False when it is lost: no
    // reader, closed, or the outbox full.
    bool write(std::span<const uint8_t> message) const;
    // Hands on what waits while the reader takes it, for at most kCloseWaitMs, then closes.
    void close();

    // Bytes of messages waiting, and messages lost so far.
    size_t waitingBytes() const;
    uint64_t lost() const;

  private:
    void run();
    void flushLocked() const;

    MailslotWriter writer_;
    mutable std::mutex mutex_;  // guards everything below
    mutable std::condition_variable waiting_;
    mutable std::string queue_;  // each message: its length (2 bytes, little-endian), its bytes
    mutable size_t head_ = 0;    // where the next message to hand on starts
    mutable uint64_t lost_ = 0;
    bool closing_ = false;
    std::thread flusher_;
};

}  // namespace corvane
