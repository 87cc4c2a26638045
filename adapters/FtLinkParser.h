#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "adapters/FtLinkRecord.h"

namespace corvane {

// The FT-series link framing, receiving side: DLE STX, the payload with every DLE doubled, an
// XOR checksum byte (doubled too when it is DLE), DLE ETX. Bytes go in one at a time; a
// message with a good checksum comes out as its payload (checksum removed).
//
// It never keeps more than the largest payload a record can be made of plus its checksum: a
// longer message is dropped at its end. A DLE STX inside a message drops what came before and
// starts over, so after garbage or a cut message the next message is decoded normally.
//
// Owned by one thread (the adapter's reader); not shared.
class FtLinkParser {
  public:
    static constexpr uint8_t kDle = 0x10;
    static constexpr uint8_t kStx = 0x02;
    static constexpr uint8_t kEtx = 0x03;
    // Payload plus checksum.
    static constexpr size_t kCapacity = kFtMaxPayload + 1;

    enum class State : uint8_t {
        Idle = 0,           // waiting for DLE
        Start = 1,          // DLE seen, waiting for STX
        Payload = 2,        // inside a message
        PayloadEscape = 3,  // DLE seen inside a message
    };

    // One byte in. When it completes a message with a good checksum, the payload; the view is
    // valid until the next push.
    //   10 02 | 00 80 CC | 4C | 10 03         -> 00 80 CC
    //   10 02 | 00 10 10 | 10 10 | 10 03      -> 00 10 (checksum 10, doubled)
    //   10 02 | 00 80 CC | 00 | 10 03         -> nothing (checksum 4C expected)
    //   10 02 | 00 80 | 10 02 | 00 81 | 81 | 10 03 -> 00 81 (the cut message is dropped)
    std::optional<std::span<const uint8_t>> push(uint8_t byte);

    State state() const { return state_; }
    // Messages thrown away: bad checksum, too long, empty, or cut by a new start.
    uint64_t dropped() const { return dropped_; }

  private:
    void begin();
    void store(uint8_t byte);

    State state_ = State::Idle;
    std::array<uint8_t, kCapacity> buffer_{};
    size_t length_ = 0;
    uint8_t checksum_ = 0;
    bool overflow_ = false;
    uint64_t dropped_ = 0;
};

}  // namespace corvane
