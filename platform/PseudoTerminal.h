#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

// The controlling side of a pseudo-terminal, for adapter emulators and tests: the tool opens
// slavePath() as if it were a USB serial adapter. The terminal is raw from the start (no echo,
// no line editing). A second descriptor on the slave side is kept open so that the terminal
// stays usable while the tool closes and reopens it.
class PseudoTerminal {
  public:
    static constexpr std::ptrdiff_t kFailed = -1;

    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool open();
    // Closes both sides: to the tool this looks like an adapter being unplugged.
    void close();
    bool isOpen() const { return master_.load(std::memory_order_acquire) >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    // Reads what the tool wrote, without waiting: byte count, 0 for nothing, kFailed.
    std::ptrdiff_t read(std::span<uint8_t> buffer);
    // Waits up to `timeoutMs` for something to read.
    bool waitReadable(int timeoutMs);
    // Writes as much of `text` as fits within `timeoutMs`; returns the bytes written or
    // kFailed.
    std::ptrdiff_t write(std::string_view text, int timeoutMs);

  private:
    std::atomic<int> master_{-1};
    int keepSlave_ = -1;
    std::string slavePath_;
};

}  // namespace corvane
