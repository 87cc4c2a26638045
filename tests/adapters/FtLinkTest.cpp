#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <variant>
#include <vector>

#include "adapters/FtLinkEncoder.h"
#include "adapters/FtLinkParser.h"
#include "adapters/FtLinkRecord.h"

namespace corvane {
namespace {

using Bytes = std::vector<uint8_t>;

// Every payload the parser completes from `bytes`.
std::vector<Bytes> parseAll(FtLinkParser& parser, const Bytes& bytes) {
    std::vector<Bytes> out;
    for (uint8_t b : bytes) {
        if (auto payload = parser.push(b)) out.emplace_back(payload->begin(), payload->end());
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(FtLinkEncoder, FramesEscapesAndChecksums) {
    struct Case {
        const char* what;
        Bytes payload;
        Bytes wire;
    };
    const Case cases[] = {
        {"command", {0x00, 0x80}, {0x10, 0x02, 0x00, 0x80, 0x80, 0x10, 0x03}},
        {"DLE in the payload, checksum 0",
         {0x00, 0x10, 0x10},
         {0x10, 0x02, 0x00, 0x10, 0x10, 0x10, 0x10, 0x00, 0x10, 0x03}},
        {"checksum DLE", {0x00, 0x10}, {0x10, 0x02, 0x00, 0x10, 0x10, 0x10, 0x10, 0x10, 0x03}},
        {"STX and ETX bytes are not escaped",
         {0x02, 0x03},
         {0x10, 0x02, 0x02, 0x03, 0x01, 0x10, 0x03}},
        {"empty", {}, {0x10, 0x02, 0x00, 0x10, 0x03}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(encodeFtLink(c.payload), c.wire);
    }
}

TEST(FtLinkEncoder, TransmitPayloads) {
    const Bytes data = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    struct Case {
        uint32_t id;
        size_t length;
        Bytes payload;
    };
    const Case cases[] = {
        {0x18FEEB42, 2, {0xA0, 0x18, 0xFE, 0xEB, 0x42, 0, 0, 0, 2, 0x01, 0x02}},
        {0x18EAFFF9, 0, {0xA0, 0x18, 0xEA, 0xFF, 0xF9, 0, 0, 0, 0}},
        // Bits above the 29-bit identifier never reach the wire; nor a ninth byte.
        {0xFFFFFFFF, 9, {0xA0, 0x1F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(ftFramePayload(c.id, std::span<const uint8_t>(data).first(+c.length)), c.payload);
    }
    EXPECT_EQ(ftCommandPayload(0xB2), (std::array<uint8_t, 2>{0x00, 0xB2}));
}

TEST(FtLinkParser, DecodesGoodMessagesAndDropsBadOnes) {
    const Bytes stateReply = encodeFtLink(Bytes{0x00, 0x80, 0xCC});
    const Bytes withDle = encodeFtLink(Bytes{0x80, 0x10, 0x10, 0x02, 0x03});
    Bytes badChecksum = stateReply;
    badChecksum[badChecksum.size() - 3] ^= 0x01;
    Bytes overlong = {0x10, 0x02};
    overlong.insert(overlong.end(), FtLinkParser::kCapacity + 1, 0x00);
    overlong.insert(overlong.end(), {0x10, 0x03});

    struct Case {
        const char* what;
        Bytes wire;
        std::vector<Bytes> payloads;
        uint64_t dropped;
    };
    const Case cases[] = {
        {"one message", stateReply, {{0x00, 0x80, 0xCC}}, 0},
        {"doubled DLEs", withDle, {{0x80, 0x10, 0x10, 0x02, 0x03}}, 0},
        {"wrong checksum, then a good message",
         concat({badChecksum, stateReply}),
         {{0x00, 0x80, 0xCC}},
         1},
        {"garbage before, between and after",
         concat({{0x55, 0x03, 0x10, 0x10}, stateReply, {0x02, 0xAA}, withDle, {0x10}}),
         {{0x00, 0x80, 0xCC}, {0x80, 0x10, 0x10, 0x02, 0x03}},
         0},
        {"a message cut by a new start",
         concat({{0x10, 0x02, 0x00, 0x80}, stateReply}),
         {{0x00, 0x80, 0xCC}},
         1},
        {"a start after a lone DLE", concat({{0x10}, stateReply}), {{0x00, 0x80, 0xCC}}, 0},
        {"ETX without a start", {0x10, 0x03, 0x10, 0x03}, {}, 0},
        {"empty message", {0x10, 0x02, 0x10, 0x03}, {}, 1},
        {"only a checksum", {0x10, 0x02, 0x00, 0x10, 0x03}, {{}}, 0},
        {"longer than a record, then a good message",
         concat({overlong, stateReply}),
         {{0x00, 0x80, 0xCC}},
         1},
        {"largest message a record holds",
         encodeFtLink(Bytes(kFtMaxPayload, 0x10)),
         {Bytes(kFtMaxPayload, 0x10)},
         0},
        {"one byte too many", encodeFtLink(Bytes(kFtMaxPayload + 1, 0x01)), {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FtLinkParser parser;
        EXPECT_EQ(parseAll(parser, c.wire), c.payloads);
        EXPECT_EQ(parser.dropped(), c.dropped);
    }
}

TEST(FtLinkParser, RoundTripsRandomPayloadsInAnySplit) {
    std::mt19937 random(12);
    FtLinkParser parser;
    for (int i = 0; i < 500; ++i) {
        Bytes payload(random() % 40);
        // Mostly framing bytes, to exercise escaping hard.
        for (auto& b : payload)
            b = static_cast<uint8_t>(random() % 4 == 0 ? random() : 0x10 + random() % 4 - 1);
        auto got = parseAll(parser, encodeFtLink(payload));
        ASSERT_EQ(got.size(), 1u) << i;
        EXPECT_EQ(got[0], payload);
        EXPECT_EQ(parser.state(), FtLinkParser::State::Idle);
    }
    EXPECT_EQ(parser.dropped(), 0u);
}

TEST(FtLinkRecord, DecodesPayloads) {
    struct Case {
        const char* what;
        Bytes payload;
        std::variant<UsbRecord, FtLinkError> expected;
    };
    auto frame = [](uint8_t flags, uint32_t id, uint32_t ts, uint8_t extra, Bytes data) {
        UsbRecord r;
        r.type = UsbRecord::Type::Frame;
        r.flags = flags;
        r.identifier = id;
        r.timestamp = ts;
        r.extra = extra;
        r.length = static_cast<uint8_t>(data.size());
        std::copy(data.begin(), data.end(), r.data.begin());
        return r;
    };
    auto reply = [](uint8_t code, Bytes data) {
        UsbRecord r;
        r.type = UsbRecord::Type::Reply;
        r.replyCode = code;
        r.length = static_cast<uint8_t>(data.size());
        std::copy(data.begin(), data.end(), r.data.begin());
        return r;
    };
    Bytes longest = {0x00, 0x80};
    longest.insert(longest.end(), 255, 0xAB);
    Bytes tooLong = longest;
    tooLong.push_back(0xAB);

    const Case cases[] = {
        {"state reply", {0x00, 0x80, 0xCC}, reply(0x00, {0xCC})},
        {"reply code without bit 7", {0x00, 0x32}, reply(0x32, {})},
        {"longest reply", longest, reply(0x00, Bytes(255, 0xAB))},
        {"reply too long", tooLong, FtLinkError::TooLong},
        {"the example frame",
         {0x80, 0x42, 0xEB, 0xFE, 0x18, 0x10, 0x27, 0x00, 0x00, 0x00, 0x02, 0x01, 0x02},
         frame(0, 0x18FEEB42, 10000, 0, {0x01, 0x02})},
        {"flags, top identifier bits and the extra byte",
         {0xE1, 0x42, 0xEB, 0xFE, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0x77, 0x00},
         frame(0x60, 0x18FEEB42, 0xFFFFFFFF, 0x77, {})},
        {"bytes after the data are ignored",
         {0x80, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x09, 0x0A},
         frame(0, 1, 0, 0, {0x09})},
        {"notification", {0xFF, 0x01, 0x02}, FtLinkError::Notification},
        {"empty", {}, FtLinkError::Empty},
        {"reply without a code", {0x00}, FtLinkError::ShortReply},
        {"frame without its length", {0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9}, FtLinkError::ShortFrame},
        {"frame announcing more than it holds",
         {0x80, 0x42, 0xEB, 0xFE, 0x18, 0x10, 0x27, 0x00, 0x00, 0x00, 0x03, 0x01, 0x02},
         FtLinkError::LengthBeyondPayload},
        {"frame announcing 255 bytes with none",
         {0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xFF},
         FtLinkError::LengthBeyondPayload},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto got = decodeUsbRecord(c.payload);
        ASSERT_EQ(got.index(), c.expected.index());
        if (auto* e = std::get_if<FtLinkError>(&c.expected)) {
            EXPECT_EQ(std::get<FtLinkError>(got), *e);
            continue;
        }
        const auto& want = std::get<UsbRecord>(c.expected);
        const auto& r = std::get<UsbRecord>(got);
        EXPECT_EQ(r.type, want.type);
        EXPECT_EQ(r.replyCode, want.replyCode);
        EXPECT_EQ(r.identifier, want.identifier);
        EXPECT_EQ(+r.timestamp, +want.timestamp);
        EXPECT_EQ(r.flags, want.flags);
        EXPECT_EQ(r.extra, want.extra);
        ASSERT_EQ(+r.length, +want.length);
        EXPECT_TRUE(std::equal(r.data.begin(), r.data.begin() + r.length, want.data.begin()));
    }
}

}  // namespace
}  // namespace corvane
