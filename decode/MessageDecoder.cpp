#include "decode/MessageDecoder.h"

#include <cmath>
#include <string_view>

namespace corvane::decode {

namespace {

constexpr double kPowersOfTen[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Little-endian number of up to 4 bytes.
uint32_t readLittleEndian(std::span<const uint8_t> bytes) {
    uint32_t v = 0;
    for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | bytes[i];
    return v;
}

// The bytes a field covers; empty when the message is too short to hold it.
std::span<const uint8_t> fieldBytes(const FieldSpec& spec, std::span<const uint8_t> data) {
    if (spec.firstByte >= data.size()) return {};
    const size_t available = data.size() - spec.firstByte;
    if (spec.byteCount == 0) return data.subspan(spec.firstByte);
    if (spec.byteCount > available) return {};
    return data.subspan(spec.firstByte, spec.byteCount);
}

std::string_view asText(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Text without the padding senders put after it.
std::string_view trimPadding(std::string_view text) {
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c != 0x00 && c != 0xFF && c != ' ') break;
        text.remove_suffix(1);
    }
    return text;
}

// The n-th '*'-terminated part; the last part may lack its '*'.
std::string_view partOf(std::string_view text, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
        const size_t star = text.find('*');
        if (star == std::string_view::npos) return {};
        text.remove_prefix(star + 1);
    }
    return trimPadding(text.substr(0, text.find('*')));
}

void decodeNumber(const FieldSpec& spec, std::span<const uint8_t> bytes, DecodedField& f) {
    const unsigned width = spec.width();
    uint32_t raw = readLittleEndian(bytes.first(bytes.size() < 4 ? bytes.size() : 4));
    const uint32_t allOnes = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    if (spec.bitCount != 0) raw = (raw >> spec.firstBit) & allOnes;
    f.raw = raw;
    // A single bit has no room for the reserved patterns.
    if (width >= 2 && raw == allOnes) {
        f.status = FieldStatus::NotAvailable;
        return;
    }
    if (width >= 2 && raw == allOnes - 1) {
        f.status = FieldStatus::Error;
        return;
    }
    if (!spec.values.empty()) f.text = spec.valueName(raw);
    const double v = raw * spec.scale + spec.offset;
    const double p = kPowersOfTen[spec.decimals < 9 ? spec.decimals : 9];
    f.value = std::round(v * p) / p + 0.0;  // + 0.0: a rounded -0 reads 0
}

// The suspect parameter number over three bytes, the 3 bits in the top of the third byte.
// DM_RV: high 8 bits, next 8, low 3.  DM1: low 8 bits, next 8, high 3.
void decodeSpn(std::span<const uint8_t> bytes, bool lowFirst, DecodedField& f) {
    const uint32_t top3 = bytes[2] >> 5;
    const uint32_t spn = lowFirst ? bytes[0] | (uint32_t{bytes[1]} << 8) | (top3 << 16)
                                  : (uint32_t{bytes[0]} << 11) | (uint32_t{bytes[1]} << 3) | top3;
    f.raw = spn;
    if (spn == 0x7FFFF) {
        f.status = FieldStatus::NotAvailable;
    } else if (spn == 0x7FFFE) {
        f.status = FieldStatus::Error;
    } else {
        f.value = spn;
    }
}

}  // namespace

DecodedField decodeField(const FieldSpec& spec, std::span<const uint8_t> data) {
    DecodedField f;
    f.spec = &spec;
    const auto bytes = fieldBytes(spec, data);
    if (bytes.empty()) {
        f.status = FieldStatus::NotAvailable;
        return f;
    }
    switch (spec.kind) {
        case FieldKind::Number:
        case FieldKind::Dgn:
            decodeNumber(spec, bytes, f);
            break;
        case FieldKind::Ascii:
            f.text = trimPadding(asText(bytes));
            if (f.text.empty()) f.status = FieldStatus::NotAvailable;
            break;
        case FieldKind::Part:
            f.text = partOf(asText(bytes), spec.part);
            if (f.text.empty()) f.status = FieldStatus::NotAvailable;
            break;
        case FieldKind::Spn:
        case FieldKind::SpnLowFirst:
            if (bytes.size() < 3) {
                f.status = FieldStatus::NotAvailable;
            } else {
                decodeSpn(bytes, spec.kind == FieldKind::SpnLowFirst, f);
            }
            break;
        case FieldKind::Hex:
            // Shown from the message's bytes by the formatters.
            f.text = asText(bytes);
            break;
    }
    return f;
}

bool decodeMessage(const Catalogue& catalogue, uint32_t dgn, uint8_t source,
                   std::span<const uint8_t> data, DecodedMessage& out) {
    out.dgn = dgn;
    out.source = source;
    out.data = data;
    out.instance = -1;
    out.uncoveredData = false;
    out.fields.clear();
    out.spec = catalogue.find(dgn);
    if (!out.spec) return false;
    for (const FieldSpec& spec : out.spec->fields) out.fields.push_back(decodeField(spec, data));
    out.uncoveredData = out.spec->hasUncoveredData(data.data(), data.size());
    if (out.spec->instanceField >= 0) {
        const DecodedField& instance = out.fields[out.spec->instanceField];
        if (instance.status == FieldStatus::Value && instance.spec->kind == FieldKind::Number) {
            out.instance = static_cast<int32_t>(instance.raw);
        }
    }
    return true;
}

}  // namespace corvane::decode
