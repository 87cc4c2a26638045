#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/CloudWireFormat.h"

namespace corvane {
namespace {

TEST(CloudWireFormat, ConnectAndSendTextsAreByteExact) {
    CloudLinkIdentity account{"t0k", "RV-77", 42, false};
    CloudLinkIdentity module{"t0k", "M9", 0, true};
    EXPECT_EQ(
        formatConnectText(account),
        "  {\"type\":\"corvane-connect\",\"token\":\"t0k\",\"account\":\"RV-77\",\"otc\":42} ");
    EXPECT_EQ(formatConnectText(module),
              "  {\"type\":\"corvane-connect\",\"token\":\"t0k\",\"serial\":\"M9\",\"otc\":0} ");

    const uint8_t three[] = {1, 2, 255};
    EXPECT_EQ(formatSendText(account, 0x1FECA, 249, 6, three),
              " {\"type\":\"corvane-send\", \"token\":\"t0k\",\"account\":\"RV-77\",\"otc\":42,"
              "\"pgn\":130762,\"address\":249,\"priority\":6,\"data\":[1,2,255]}");
    EXPECT_EQ(formatSendText(module, 0xEA00, 0, 7, {}),
              " {\"type\":\"corvane-send\", \"token\":\"t0k\",\"serial\":\"M9\",\"otc\":0,"
              "\"pgn\":59904,\"address\":0,\"priority\":7,\"data\":[]}");
}

TEST(CloudWireFormat, IdentityTextCannotBreakOutOfItsString) {
    CloudLinkIdentity sneaky{"t", "RV\",\"otc\":1,\"x\":\"\\", 5, false};
    std::string text = formatConnectText(sneaky);
    EXPECT_NE(text.find("\"account\":\"RV\\\",\\\"otc\\\":1,\\\"x\\\":\\\"\\\\\""),
              std::string::npos)
        << text;
    // Still one object whose code is the typed one.
    EXPECT_NE(text.find(",\"otc\":5} "), std::string::npos);
    EXPECT_EQ(escapeJsonString("a\nb\x01"), "a\\nb\\u0001");
}

TEST(CloudWireFormat, LoginReplies) {
    using S = LoginReply::Status;
    struct Case {
        const char* body;
        S status;
        const char* token;
    };
    const Case cases[] = {
        {"{\"token\":\"abc\"}", S::kToken, "abc"},
        {"{\"user\":\"x\",\"token\":\"\"}", S::kToken, ""},
        {"{\"error\":\"unknown\"}", S::kNotRecognised, ""},
        {"{\"token\":12345}", S::kNotRecognised, ""},
        {"{\"token\":null}", S::kNotRecognised, ""},
        {"{\"token\":[\"a\"]}", S::kNotRecognised, ""},
        {"[\"token\"]", S::kNotRecognised, ""},
        {"\"token\"", S::kNotRecognised, ""},
        {"", S::kNotJson, ""},
        {"<html>maintenance</html>", S::kNotJson, ""},
        {"{\"token\":\"abc\"", S::kNotJson, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        LoginReply reply = parseLoginReply(c.body);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.token, c.token);
    }
}

TEST(CloudWireFormat, LoginUrlFitsOrIsRefused) {
    auto url = composeLoginUrl("https://relay:443", "a%26b", "p%3Dq");
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, "https://relay:443/login/credentials.php?username=a%26b&password=p%3Dq");

    // The fixed parts take 54 characters with this base; one terminator is reserved.
    std::string base = "https://relay:443";
    size_t fixed = base.size() + std::string("/login/credentials.php?username=&password=").size();
    std::string fits(kLoginUrlCapacity - 1 - fixed, 'p');
    ASSERT_TRUE(composeLoginUrl(base, "", fits));
    EXPECT_EQ(composeLoginUrl(base, "", fits)->size(), kLoginUrlCapacity - 1);
    EXPECT_FALSE(composeLoginUrl(base, "", fits + "p"));
    EXPECT_FALSE(composeLoginUrl(base, std::string(3000, 'u'), ""));
}

TEST(CloudWireFormat, OneTimeCodeText) {
    struct Case {
        const char* text;
        int32_t otc;
    };
    const Case cases[] = {{"", 0},
                          {"0", 0},
                          {"0042", 42},
                          {"12ab", 12},
                          {"x12", 0},
                          {"2147483647", 2147483647},
                          {"99999999999", 2147483647}};
    for (const auto& c : cases) EXPECT_EQ(parseOtc(c.text), c.otc) << c.text;
}

TEST(CloudWireFormat, FrameMessages) {
    using S = FrameMessage::Status;
    struct Case {
        const char* text;
        S status;
        uint8_t sa;
        uint32_t dgn;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {R"({"code":42,"sa":66,"pgn":130762,"data":[1,2,3]})", S::kFrame, 66, 130762, {1, 2, 3}},
        {R"({"type":"x","code":42,"sa":322,"pgn":65280,"priority":3,"data":[256,511,8]})",
         S::kFrame,
         66,
         65280,
         {0, 255, 8}},
        {R"({"code":42,"sa":1,"pgn":1,"data":[1,2,3,4,5,6,7,8]})",
         S::kFrame,
         1,
         1,
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {R"({"code":42,"sa":1,"pgn":1,"data":[]})", S::kIgnored, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":1,"data":[1,2,3,4,5,6,7,8,9]})", S::kIgnored, 0, 0, {}},
        {R"({"code":41,"sa":1,"pgn":1,"data":[1]})", S::kIgnored, 0, 0, {}},
        {R"({"sa":1,"pgn":1,"data":[1]})", S::kIgnored, 0, 0, {}},
        {R"({"code":42,"pgn":1,"data":[1]})", S::kIgnored, 0, 0, {}},
        {R"({"code":42,"sa":1,"data":[1]})", S::kIgnored, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":1})", S::kIgnored, 0, 0, {}},
        {R"([42,1,1])", S::kIgnored, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":1,"data":1})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":1,"data":["a"]})", S::kBadJson, 0, 0, {}},
        {R"({"code":"42","sa":1,"pgn":1,"data":[1]})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,"sa":"x","pgn":1,"data":[1]})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,)", S::kBadJson, 0, 0, {}},
        // Numbers are read as integers the way the JSON library converts them: fractions cut,
        // booleans 0 and 1, and one beyond the 64-bit range is a member of the wrong type.
        {R"({"code":42.9,"sa":66.5,"pgn":-1.5,"data":[true,false,2.9,-1.0]})",
         S::kFrame,
         66,
         0xFFFFFFFF,
         {1, 0, 2, 255}},
        {R"({"code":1e300,"sa":1,"pgn":1,"data":[1]})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,"sa":-1e19,"pgn":1,"data":[1]})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":9.3e18,"data":[1]})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":1,"data":[1,1e400]})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":1,"data":[1,null]})", S::kBadJson, 0, 0, {}},
        {R"({"code":42,"sa":1,"pgn":1,"data":{"a":1}})", S::kBadJson, 0, 0, {}},
        {"", S::kBadJson, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FrameMessage m = parseFrameMessage(c.text, 42, 1234);
        ASSERT_EQ(m.status, c.status);
        if (c.status != S::kFrame) continue;
        EXPECT_EQ(m.frame.kind, RvcFrame::kKind);
        EXPECT_EQ(m.frame.sa, c.sa);
        EXPECT_EQ(+m.frame.dgn, +c.dgn);
        EXPECT_EQ(m.frame.priority, 7);
        EXPECT_EQ(m.frame.reserved, 0);
        EXPECT_EQ(+m.frame.timestamp, 1234u);
        ASSERT_EQ(+m.frame.length, c.data.size());
        EXPECT_EQ(std::vector<uint8_t>(m.frame.data, m.frame.data + m.frame.length), c.data);
    }
    // An empty code box means code 0.
    EXPECT_EQ(parseFrameMessage(R"({"code":0,"sa":1,"pgn":1,"data":[1]})", 0, 0).status, S::kFrame);
}

}  // namespace
}  // namespace corvane
