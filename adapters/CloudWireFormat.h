#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/RvcFrame.h"

namespace corvane {

// The texts exchanged with the KestrixLink service, as pure functions.

// Who the tool is on the link: the login token, the RV or module id typed by the technician,
// the one-time code from the vehicle's display, and which id it is ("serial" for a module
// id, "account" for an RV id).
struct CloudLinkIdentity {
    std::string token;
    std::string linkId;
    int32_t otc = 0;
    bool byModule = false;
};

// The link start and keep-alive text, blanks included:
//   {token "t", linkId "RV1", otc 42, byModule false} ->
//   "  {\"type\":\"corvane-connect\",\"token\":\"t\",\"account\":\"RV1\",\"otc\":42} "
// Token and id are escaped as JSON strings, so a quote in an id cannot change the object.
std::string formatConnectText(const CloudLinkIdentity& identity);

// One frame to transmit:
//   (identity, 130762, 249, 6, {1,2,255}) ->
//   " {\"type\":\"corvane-send\", \"token\":\"t\",\"account\":\"RV1\",\"otc\":42,
//     \"pgn\":130762,\"address\":249,\"priority\":6,\"data\":[1,2,255]}"
std::string formatSendText(const CloudLinkIdentity& identity, uint32_t dgn, uint8_t sa,
                           uint8_t priority, std::span<const uint8_t> data);

// {1,2,255} -> "[1,2,255]"; {} -> "[]".
std::string formatDataArray(std::span<const uint8_t> data);

// The text of a JSON string's contents: quote, backslash and control characters escaped.
std::string escapeJsonString(std::string_view text);

// The login reply body -> its token.
//   "{\"token\":\"abc\"}" -> kToken, "abc"
//   "{\"error\":1}", "{\"token\":7}", "[1]" -> kNotRecognised (a token must be a string)
//   "", "<html>" -> kNotJson
struct LoginReply {
    enum class Status { kToken, kNotJson, kNotRecognised };
    Status status = Status::kNotJson;
    std::string token;
};
LoginReply parseLoginReply(std::string_view body);

// The login URL from its parts, already URL-escaped: base + "/login/credentials.php" +
// "?username=" + user + "&password=" + password. None when it would not fit the 2000
// characters (terminator included) the service accepts.
std::optional<std::string> composeLoginUrl(std::string_view base, std::string_view escapedUser,
                                           std::string_view escapedPassword);
constexpr size_t kLoginUrlCapacity = 2000;

// The one-time code box's text as a number: its leading digits, 0 when there are none;
// saturates at the largest 32-bit value.   "" -> 0, "0042" -> 42, "12ab" -> 12
int32_t parseOtc(std::string_view text);

// One received frame message, checked against the tool's one-time code.
//   kFrame:   a frame of kind 3, priority 7, the given timestamp
//   kIgnored: no "code", a foreign code, no "sa"/"pgn"/"data", 0 or more than 8 data bytes
//   kBadJson: not JSON, or a member of the wrong type
struct FrameMessage {
    enum class Status { kFrame, kIgnored, kBadJson };
    Status status = Status::kIgnored;
    RvcFrame frame{};
};
FrameMessage parseFrameMessage(std::string_view text, int32_t otc, uint32_t timestamp);

}  // namespace corvane
