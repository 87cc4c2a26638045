#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvane {

// The writing end of somebody else's mailslot. Writes never block: a reader that is gone or
// does not keep up loses the message instead of stalling the writer (MailslotOutbox keeps
// what a slow reader has no room for yet). One writer may be used from several threads at
// once; it must not be closed while another thread writes.
class MailslotWriter {
  public:
    MailslotWriter() = default;
    // Opens an existing mailslot; invalid when there is no reader at `path`.
    explicit MailslotWriter(const std::string& path);
    ~MailslotWriter();
    MailslotWriter(MailslotWriter&& other) noexcept;
    MailslotWriter& operator=(MailslotWriter&& other) noexcept;
    MailslotWriter(const MailslotWriter&) = delete;
    MailslotWriter& operator=(const MailslotWriter&) = delete;

    bool valid() const { return fd_ >= 0; }
    // The descriptor: unique among the open writers of this process.
    int handle() const { return fd_; }
    // One message; false when it was not delivered whole.
    bool write(std::span<const uint8_t> message) const;

    // What one write found: the message written whole; no room yet in the reader's queue;
    // or a message that cannot be delivered (no reader any more, closed, too big).
    enum class Attempt { Written, Full, Failed };
    Attempt tryWrite(std::span<const uint8_t> message) const;
    // Waits up to `timeoutMs` for room in the reader's queue; true when there is some (or the
    // reader is gone, which the next write finds out).
    bool waitWritable(int timeoutMs) const;
    void close();

  private:
    int fd_ = -1;
};

}  // namespace corvane
