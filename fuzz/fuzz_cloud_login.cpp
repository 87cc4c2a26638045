// Arbitrary bodies as the cloud service's login reply. Besides crashes and sanitizer findings
// it checks that a token read from a reply is the reply's "token" string, and that the link
// start text built around it is still one JSON object carrying that token unchanged: a reply
// cannot smuggle members into what the tool sends.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "adapters/CloudWireFormat.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using fuzz::check;
    const std::string_view body(reinterpret_cast<const char*>(data), size);

    const LoginReply reply = parseLoginReply(body);
    (void)parseOtc(body);
    if (reply.status != LoginReply::Status::kToken) {
        check(reply.token.empty());
        return 0;
    }

    const CloudLinkIdentity identity{reply.token, "RV1", 42, (size & 1) != 0};
    const std::string connect = formatConnectText(identity);
    const auto object = nlohmann::json::parse(connect, nullptr, false);
    check(!object.is_discarded() && object.is_object());
    check(object.size() == 4 && object.at("token") == reply.token);
    check(object.at("otc") == 42 && object.at("type") == "corvane-connect");

    const uint8_t frame[] = {1, 2, 255};
    const std::string send = formatSendText(identity, 0x1FECA, 0xF9, 6, frame);
    const auto sent = nlohmann::json::parse(send, nullptr, false);
    check(!sent.is_discarded() && sent.is_object() && sent.at("token") == reply.token);
    check(sent.at("data") == nlohmann::json::array({1, 2, 255}));
    return 0;
}
