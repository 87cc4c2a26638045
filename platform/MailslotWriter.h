#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvane {

// The writing end of somebody else's mailslot. Writes never block: a reader that is gone or
// does not keep up loses the message instead of stalling the writer. One writer may be used
// from several threads at once; it must not be closed while another thread writes.
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
    void close();

  private:
    int fd_ = -1;
};

}  // namespace corvane
