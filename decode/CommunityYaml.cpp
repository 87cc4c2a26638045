#include "decode/CommunityYaml.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "decode/Conversions.h"

namespace corvane::decode {

namespace {

std::optional<uint32_t> parseNumber(std::string_view s, int base) {
    uint32_t v = 0;
    if (s.size() > 2 && base == 10 && (s.substr(0, 2) == "0x" || s.substr(0, 2) == "0X")) {
        s.remove_prefix(2);
        base = 16;
    }
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

// "2" or "2-3" -> (2, 2) or (2, 3).
std::optional<std::pair<uint32_t, uint32_t>> parseRange(const std::string& text) {
    const size_t dash = text.find('-');
    auto low = parseNumber(std::string_view(text).substr(0, dash), 10);
    if (!low) return std::nullopt;
    if (dash == std::string::npos) return std::pair{*low, *low};
    auto high = parseNumber(std::string_view(text).substr(dash + 1), 10);
    if (!high || *high < *low) return std::nullopt;
    return std::pair{*low, *high};
}

std::string scalar(const YAML::Node& node, const char* key) {
    const YAML::Node value = node[key];
    return value && value.IsScalar() ? value.Scalar() : std::string();
}

// Bit fields name their values in binary: "01", "11", "0010". A field declared as bits always
// does; a "uint" field of a few bits does when the key is that many binary digits.
bool isBinaryKey(const std::string& key, const std::string& type, const FieldSpec& spec) {
    if (type.starts_with("bit")) return true;
    if (spec.bitCount < 2 || key.size() != spec.bitCount) return false;
    return key.find_first_not_of("01") == std::string::npos;
}

// One parameter of `message` -> field; an error text when it cannot be read. A name the
// message already has gets a number: the files repeat some ("dc source shutdown voltage
// maximum" twice in INVERTER_CONFIGURATION_STATUS_2).
std::optional<FieldSpec> readParameter(const YAML::Node& p, const MessageSpec& message,
                                       std::string& error) {
    FieldSpec spec;
    auto bytes = parseRange(scalar(p, "byte"));
    if (!bytes || bytes->second > 1784) {
        error = "bad byte";
        return std::nullopt;
    }
    spec.firstByte = static_cast<uint16_t>(bytes->first);
    spec.byteCount = static_cast<uint16_t>(bytes->second - bytes->first + 1);
    const std::string bitText = scalar(p, "bit");
    if (!bitText.empty()) {
        auto bits = parseRange(bitText);
        if (!bits || bits->second > 7 || spec.byteCount != 1) {
            error = "bad bit";
            return std::nullopt;
        }
        spec.firstBit = static_cast<uint8_t>(bits->first);
        spec.bitCount = static_cast<uint8_t>(bits->second - bits->first + 1);
    }
    const std::string name = scalar(p, "name");
    spec.name = message.unusedName(name.empty() ? "byte_" + std::to_string(spec.firstByte)
                                                : snakeCase(name));
    const std::string type = scalar(p, "type");
    if (type == "ascii") {
        spec.kind = FieldKind::Ascii;
    } else if (spec.kind == FieldKind::Number && spec.byteCount > 4) {
        spec.kind = FieldKind::Hex;  // wider than any number RV-C sends
    }
    spec.unit = canonicalUnit(scalar(p, "unit"));
    const Conversion conversion = standardConversion(spec.unit, spec.width());
    spec.scale = conversion.scale;
    spec.offset = conversion.offset;
    spec.decimals = decimalsOf(spec.scale);
    if (const YAML::Node values = p["values"]; values && values.IsMap()) {
        for (const auto& entry : values) {
            const std::string key = entry.first.Scalar();
            auto value = parseNumber(key, isBinaryKey(key, type, spec) ? 2 : 10);
            if (!value) value = parseNumber(key, 10);
            if (!value) continue;
            spec.values.push_back({*value, entry.second.IsScalar() ? entry.second.Scalar() : ""});
        }
        std::sort(spec.values.begin(), spec.values.end(),
                  [](const ValueName& a, const ValueName& b) { return a.value < b.value; });
    }
    return spec;
}

}  // namespace

CatalogueParse parseCommunityYaml(std::string_view text) {
    CatalogueParse result;
    YAML::Node root;
    try {
        root = YAML::Load(std::string(text));
    } catch (const YAML::Exception& e) {
        result.errors.push_back(std::string("not YAML: ") + e.what());
        return result;
    }
    if (!root.IsMap()) {
        result.errors.push_back("not a map of DGNs");
        return result;
    }
    std::vector<std::pair<uint32_t, uint32_t>> aliases;  // message, the DGN it shares fields with
    // Fields and value names taken, copies by alias (and YAML anchors) counted.
    size_t entries = 0;
    const auto full = [&] {
        if (entries <= kMaxEntriesPerFile && result.catalogue.size() < kMaxMessagesPerFile)
            return false;
        result.errors.push_back(
            "over " + std::to_string(kMaxEntriesPerFile) + " fields and value names or " +
            std::to_string(kMaxMessagesPerFile) + " messages: the rest of the file is not read");
        return true;
    };
    for (const auto& entry : root) {
        if (full()) break;
        const std::string key = entry.first.Scalar();
        auto dgn = parseNumber(key, 16);
        if (!dgn || *dgn > 0x3FFFF || !entry.second.IsMap()) continue;
        MessageSpec message;
        message.dgn = *dgn;
        message.name = scalar(entry.second, "name");
        if (message.name.empty()) message.name = "DGN_" + key;
        if (const YAML::Node params = entry.second["parameters"]; params && params.IsSequence()) {
            for (size_t i = 0;
                 i < params.size() && i < MessageSpec::kMaxFields && entries <= kMaxEntriesPerFile;
                 ++i) {
                std::string error;
                if (!params[i].IsMap()) error = "not a map";
                auto field =
                    error.empty() ? readParameter(params[i], message, error) : std::nullopt;
                if (field) {
                    entries += 1 + field->values.size();
                    message.fields.push_back(std::move(*field));
                } else {
                    result.errors.push_back(key + " parameter " + std::to_string(i) + ": " + error);
                }
            }
        }
        if (auto alias = parseNumber(scalar(entry.second, "alias"), 16)) {
            aliases.emplace_back(*dgn, *alias);
        }
        message.complete();
        result.catalogue.add(std::move(message));
    }
    for (const auto& [dgn, alias] : aliases) {
        const MessageSpec* base = result.catalogue.find(alias);
        const MessageSpec* own = result.catalogue.find(dgn);
        if (!base || !own || !own->fields.empty()) continue;
        for (const FieldSpec& f : base->fields) entries += 1 + f.values.size();
        if (full()) break;
        MessageSpec copy = *own;
        copy.fields = base->fields;
        copy.complete();
        result.catalogue.add(std::move(copy));
    }
    return result;
}

}  // namespace corvane::decode
