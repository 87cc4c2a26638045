#include "script/RVCDatum.h"

#include <cstdio>

#include "core/Dgn.h"

namespace corvane {

namespace {

// Data bytes the message does not hold read as "not available", as short frames do.
uint8_t ByteAt(const RvcMessage& message, int index) {
    if (index < 0 || index >= message.length) return 0xFF;
    return message.data[index];
}

std::string ListOrTime(const RVCDatum& d, uint32_t v) {
    if (d.formatKind == FormatKind::Enumerated) return EnumText(d.format, static_cast<uint8_t>(v));
    if (IsTimeKind(d.formatKind)) return TimeText(d.formatKind, d.ScaledValue());
    return PrintfValue(d.format, d.ScaledValue());
}

std::string WordText(const RVCDatum& d, int32_t v) {
    if (d.formatKind == FormatKind::Enumerated) {
        char text[16];
        std::snprintf(text, sizeof text, "[%6d]", v);
        return text;
    }
    if (IsTimeKind(d.formatKind)) return TimeText(d.formatKind, d.ScaledValue());
    return PrintfValue(d.format, d.ScaledValue());
}

}  // namespace

double RVCDatum::ScaledValue() const { return static_cast<double>(raw) * multiplier + offset; }

float RVCDatum::Value() const { return static_cast<float>(ScaledValue()); }

std::string RVCDatum::DisplayLine() const { return title; }

std::string RVCDatum::ValueText() const {
    const uint32_t v = raw;
    if (selector == selector::kTwoBits) return EnumText(format, static_cast<uint8_t>(v));
    if (IsBitField(selector) || selector == selector::kByte) {
        const uint32_t notAvailable = NotAvailableValue(selector);
        if (v == notAvailable) return std::string(kNoDataText);
        const uint32_t errorFrom = selector == selector::kByte ? 0xFB : notAvailable - 1;
        if (v >= errorFrom && v < notAvailable) return std::string(kErrorRangeText);
        return ListOrTime(*this, v);
    }
    switch (selector) {
        case selector::kWord:
            if (v == 0xFFFF) return std::string(kNoDataText);
            if (v >= 0xFFFB) return std::string(kErrorRangeText);
            return WordText(*this, static_cast<int32_t>(v));
        case selector::kLong:
            if (v == 0xFFFFFFFF) return std::string(kNoDataText);
            if (v >= 0xFFFFFFFB) return std::string(kErrorRangeText);
            return WordText(*this, static_cast<int32_t>(v));
        case selector::kPacket: {
            char text[32];
            std::snprintf(text, sizeof text, "%02X.%02X.%02X.%02X.%02X.%02X.%02X.%02X", packet[0],
                          packet[1], packet[2], packet[3], packet[4], packet[5], packet[6],
                          packet[7]);
            return text;
        }
        case selector::kNone:
            return title;
        default:
            return std::string(kParsingErrorText);
    }
}

void RVCDatum::UpdateFromMessage(const RvcMessage& message) {
    // Datums that take no DGN never match, whatever DGN a simulated message claims.
    if (dgn == kNoDgn || message.dgn != dgn) return;
    if (dgn == dgn::kDmRv) {
        if (instance != kAnyInstance && instance != ByteAt(message, 1)) return;
    } else {
        if (instance != kAnyInstance && instance != ByteAt(message, 0)) return;
        if (secondaryInstance != kAnyInstance && secondaryInstance != ByteAt(message, 1)) return;
    }
    uint32_t v = 0;
    if (IsBitField(selector)) {
        const uint32_t mask = NotAvailableValue(selector);
        // A bit position past the byte reads bits that are not there.
        if (bitShift < 0 || bitShift > 7) return;
        v = (static_cast<uint32_t>(ByteAt(message, byteIndex)) >> bitShift) & mask;
    } else if (selector == selector::kByte) {
        v = ByteAt(message, byteIndex);
    } else if (selector == selector::kWord) {
        v = ByteAt(message, byteIndex) | (uint32_t{ByteAt(message, byteIndex + 1)} << 8);
    } else if (selector == selector::kLong) {
        for (int i = 3; i >= 0; --i) v = (v << 8) | ByteAt(message, byteIndex + i);
    } else if (selector == selector::kPacket) {
        for (int i = 0; i < 8; ++i) packet[i] = ByteAt(message, i);
        ++updates;
        changed = visible;
        return;
    } else {
        return;
    }
    if (v == NotAvailableValue(selector)) return;
    raw = v;
    ++updates;
    changed = visible;
}

}  // namespace corvane
