#include "adapters/CloudWireFormat.h"

#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

namespace corvane {

namespace {

const char* idKey(const CloudLinkIdentity& identity) {
    return identity.byModule ? "serial" : "account";
}

// A member's integer value, converted the way the JSON library converts numbers and booleans;
// nothing for any other type, nor for a number beyond the 64-bit range, whose conversion the
// library leaves undefined.
std::optional<int64_t> integerValue(const nlohmann::json& value) {
    using Type = nlohmann::json::value_t;
    switch (value.type()) {
        case Type::number_integer:
            return value.get<int64_t>();
        case Type::number_unsigned:
            return static_cast<int64_t>(value.get<uint64_t>());
        case Type::boolean:
            return value.get<bool>() ? 1 : 0;
        case Type::number_float: {
            constexpr double kLimit = 9223372036854775808.0;  // 2^63
            const double number = value.get<double>();
            if (!(number >= -kLimit && number < kLimit)) return std::nullopt;
            return static_cast<int64_t>(number);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string escapeJsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char code[8];
                    std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
                    out += code;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string formatConnectText(const CloudLinkIdentity& identity) {
    return "  {\"type\":\"corvane-connect\",\"token\":\"" + escapeJsonString(identity.token) +
           "\",\"" + idKey(identity) + "\":\"" + escapeJsonString(identity.linkId) +
           "\",\"otc\":" + std::to_string(identity.otc) + "} ";
}

std::string formatDataArray(std::span<const uint8_t> data) {
    std::string out = "[";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(data[i]);
    }
    out += ']';
    return out;
}

std::string formatSendText(const CloudLinkIdentity& identity, uint32_t dgn, uint8_t sa,
                           uint8_t priority, std::span<const uint8_t> data) {
    return " {\"type\":\"corvane-send\", \"token\":\"" + escapeJsonString(identity.token) +
           "\",\"" + idKey(identity) + "\":\"" + escapeJsonString(identity.linkId) +
           "\",\"otc\":" + std::to_string(identity.otc) + ",\"pgn\":" + std::to_string(dgn) +
           ",\"address\":" + std::to_string(sa) + ",\"priority\":" + std::to_string(priority) +
           ",\"data\":" + formatDataArray(data) + "}";
}

LoginReply parseLoginReply(std::string_view body) {
    nlohmann::json value = nlohmann::json::parse(body, nullptr, false);
    if (value.is_discarded()) return {};
    LoginReply reply;
    reply.status = LoginReply::Status::kNotRecognised;
    if (!value.is_object()) return reply;
    auto token = value.find("token");
    if (token == value.end() || !token->is_string()) return reply;
    reply.status = LoginReply::Status::kToken;
    reply.token = token->get<std::string>();
    return reply;
}

std::optional<std::string> composeLoginUrl(std::string_view base, std::string_view escapedUser,
                                           std::string_view escapedPassword) {
    std::string url;
    url.reserve(base.size() + escapedUser.size() + escapedPassword.size() + 64);
    url.append(base);
    url.append("/login/credentials.php");
    url.append("?username=");
    url.append(escapedUser);
    url.append("&password=");
    url.append(escapedPassword);
    if (url.size() + 1 > kLoginUrlCapacity) return std::nullopt;
    return url;
}

int32_t parseOtc(std::string_view text) {
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

FrameMessage parseFrameMessage(std::string_view text, int32_t otc, uint32_t timestamp) {
    FrameMessage result;
    const auto badJson = [&result] {
        result.status = FrameMessage::Status::kBadJson;
        return result;
    };
    nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded()) return badJson();
    if (!value.is_object()) return result;  // no members at all

    auto code = value.find("code");
    if (code == value.end()) return result;
    const auto codeValue = integerValue(*code);
    if (!codeValue) return badJson();
    if (*codeValue != otc) return result;

    RvcFrame& frame = result.frame;
    frame.kind = RvcFrame::kKind;
    auto sa = value.find("sa");
    if (sa == value.end()) return result;
    const auto saValue = integerValue(*sa);
    if (!saValue) return badJson();
    frame.sa = static_cast<uint8_t>(*saValue & 0xFF);
    frame.timestamp = timestamp;
    auto pgn = value.find("pgn");
    if (pgn == value.end()) return result;
    const auto pgnValue = integerValue(*pgn);
    if (!pgnValue) return badJson();
    frame.dgn = static_cast<uint32_t>(*pgnValue);
    // The relay does not carry the sender's priority faithfully; every frame reads as 7.
    frame.priority = 7;
    frame.reserved = 0;
    auto data = value.find("data");
    if (data == value.end()) return result;
    if (!data->is_array()) return badJson();
    std::vector<int64_t> bytes;
    for (const auto& element : *data) {
        const auto byte = integerValue(element);
        if (!byte) return badJson();
        bytes.push_back(*byte);
    }
    if (bytes.empty() || bytes.size() > 8) return result;
    frame.length = static_cast<uint16_t>(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) frame.data[i] = static_cast<uint8_t>(bytes[i] & 0xFF);
    result.status = FrameMessage::Status::kFrame;
    return result;
}

}  // namespace corvane
