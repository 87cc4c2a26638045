#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "decode/MessageSpec.h"

namespace corvane::decode {

// The messages the decoder knows, indexed by DGN. Built once (from the built-in text, then a
// user's files), then read-only: any number of threads may look up in it at once.
//
// Lookup is by DGN alone, never by the whole identifier, so a message decodes whatever its
// source. A PDU1 DGN (format byte below 0xF0) carries its destination in the low byte; it is
// found under its family: 0x17F42 -> the entry for 0x17F00.
class Catalogue {
  public:
    // Adds a message; one with the same DGN already present is replaced (a user's file
    // overrides the built-in entry).
    void add(MessageSpec message);
    // Adds or replaces every message of `other`.
    void merge(Catalogue other);

    // The message for a received DGN, null when the catalogue does not know it.
    const MessageSpec* find(uint32_t dgn) const;

    size_t size() const { return messages_.size(); }
    std::span<const MessageSpec> messages() const { return messages_; }

  private:
    const MessageSpec* findExact(uint32_t dgn) const;

    std::vector<uint32_t> keys_;  // sorted; keys_[i] is messages_[i].dgn
    std::vector<MessageSpec> messages_;
};

// True for a DGN whose low byte is a destination address (format byte below 0xF0).
constexpr bool isPdu1(uint32_t dgn) { return ((dgn >> 8) & 0xFF) < 0xF0; }

}  // namespace corvane::decode
