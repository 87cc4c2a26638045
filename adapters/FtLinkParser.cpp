#include "adapters/FtLinkParser.h"

namespace corvane {

void FtLinkParser::begin() {
    state_ = State::Payload;
    length_ = 0;
    checksum_ = 0;
    overflow_ = false;
}

void FtLinkParser::store(uint8_t byte) {
    if (length_ == buffer_.size()) {
        overflow_ = true;  // keep reading to the end of the message, then drop it
        return;
    }
    buffer_[length_++] = byte;
    checksum_ ^= byte;
}

std::optional<std::span<const uint8_t>> FtLinkParser::push(uint8_t byte) {
    switch (state_) {
        case State::Idle:
            if (byte == kDle) state_ = State::Start;
            return std::nullopt;
        case State::Start:
            if (byte == kStx) {
                begin();
            } else if (byte != kDle) {
                // A DLE right before STX may still open a message: stay ready for it.
                state_ = State::Idle;
            }
            return std::nullopt;
        case State::Payload:
            if (byte == kDle) {
                state_ = State::PayloadEscape;
            } else {
                store(byte);
            }
            return std::nullopt;
        case State::PayloadEscape:
            break;
    }

    if (byte == kStx) {
        ++dropped_;
        begin();
        return std::nullopt;
    }
    if (byte != kEtx) {
        // A doubled DLE is a DLE of the payload; anything else is kept for the checksum to
        // judge.
        store(byte);
        state_ = State::Payload;
        return std::nullopt;
    }
    state_ = State::Idle;
    // The checksum byte is stored with the payload, so a good message XORs to zero.
    if (overflow_ || length_ == 0 || checksum_ != 0) {
        ++dropped_;
        return std::nullopt;
    }
    return std::span<const uint8_t>(buffer_.data(), length_ - 1);
}

}  // namespace corvane
