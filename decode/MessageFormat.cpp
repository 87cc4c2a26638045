#include "decode/MessageFormat.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "core/PrintableText.h"
#include "decode/Catalogue.h"

namespace corvane::decode {

namespace {

std::string dgnHex(uint32_t dgn) {
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, "%X", dgn);
    return buffer;
}

std::span<const uint8_t> textBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void appendNumber(std::string& out, double value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

void appendValue(std::string& out, const DecodedField& f) {
    if (f.status == FieldStatus::NotAvailable) {
        out += "n/a";
    } else if (f.status == FieldStatus::Error) {
        out += "error";
    } else if (f.spec->kind == FieldKind::Hex) {
        out += hexText(textBytes(f.text));
    } else if (f.spec->kind == FieldKind::Dgn) {
        out += dgnHex(f.raw);
    } else if (f.hasText()) {
        const bool quote = f.text.find(' ') != std::string_view::npos;
        if (quote) out += '"';
        out += printableText(f.text);
        if (quote) out += '"';
    } else {
        appendNumber(out, f.value);
        out += f.spec->unit;
    }
}

void appendField(std::string& out, const DecodedField& f) {
    out += ' ';
    out += f.spec->name;
    out += '=';
    appendValue(out, f);
}

nlohmann::ordered_json fieldJson(const DecodedField& f) {
    if (f.status == FieldStatus::NotAvailable) return nullptr;
    if (f.status == FieldStatus::Error) return "error";
    if (f.spec->kind == FieldKind::Hex) return hexText(textBytes(f.text));
    if (f.spec->kind == FieldKind::Dgn) return dgnHex(f.raw);
    // Texts come off the bus or out of a user's file: JSON takes UTF-8 only.
    if (f.hasText()) return printableText(f.text);
    // Whole numbers stay integers, so that 100 reads 100 and not 100.0.
    if (f.spec->decimals == 0 && f.value >= -9.0e15 && f.value <= 9.0e15) {
        return static_cast<int64_t>(f.value);
    }
    return f.value;
}

}  // namespace

std::string fieldText(const DecodedField& f) {
    std::string out;
    appendValue(out, f);
    return out;
}

std::string hexText(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out(bytes.size() * 2, '0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0xF];
    }
    return out;
}

std::string dataText(const DecodedMessage& m) {
    std::string out = hexText(m.data);
    if (!m.known()) return out;
    for (size_t i = 0; i < m.data.size(); ++i) {
        if (m.spec->covers(i)) out.replace(2 * i, 2, "..");
    }
    return out;
}

std::string dgnText(const DecodedMessage& m) {
    return dgnHex(m.spec ? m.spec->dgn : (isPdu1(m.dgn) ? m.dgn & 0x3FF00 : m.dgn));
}

std::string formatTextLine(const DecodedMessage& m, int64_t micros) {
    char head[64];
    std::snprintf(head, sizeof head, "%" PRId64 ".%06" PRId64 " %02X ", micros / 1000000,
                  micros % 1000000, m.source);
    std::string out = head;
    out += dgnText(m);
    if (isPdu1(m.dgn)) {
        std::snprintf(head, sizeof head, ">%02X", static_cast<unsigned>(m.dgn & 0xFF));
        out += head;
    }
    out += ' ';
    out += m.known() ? std::string_view(m.spec->name) : std::string_view("unknown");
    for (const DecodedField& f : m.fields) appendField(out, f);
    if (m.showsData()) {
        out += " data=";
        out += dataText(m);
    }
    return out;
}

nlohmann::ordered_json toJson(const DecodedMessage& m, int64_t micros) {
    nlohmann::ordered_json j;
    j["timestamp"] = static_cast<double>(micros) / 1e6;
    j["source"] = m.source;
    j["dgn"] = dgnText(m);
    if (isPdu1(m.dgn)) j["destination"] = m.dgn & 0xFF;
    j["name"] = m.known() ? nlohmann::ordered_json(printableText(m.spec->name)) : nullptr;
    j["instance"] = m.instance >= 0 ? nlohmann::ordered_json(m.instance) : nullptr;
    auto& fields = j["fields"] = nlohmann::ordered_json::object();
    for (const DecodedField& f : m.fields) fields[printableText(f.spec->name)] = fieldJson(f);
    j["data"] = hexText(m.data);
    return j;
}

}  // namespace corvane::decode
