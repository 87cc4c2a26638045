#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/ClientRequest.h"
#include "core/RVCClient.h"
#include "core/RVCFilterLegacyRaw.h"
#include "core/RVCFilterPGN.h"
#include "core/RVCFilterRaw.h"
#include "core/RVCFilterSA.h"

namespace corvane {
namespace {

using Bytes = std::vector<uint8_t>;

// The filters' client here has no mailslot: filters can be asked, their writes go nowhere.

TEST(RVCFilter, RemovalRequestsNameOnlyTheirOwnKindAndValue) {
    RVCClient c("Test", 1, MailslotWriter());
    RVCFilterSA sa42(5, c, 0x42);
    RVCFilterSA saAny(6, c, 0xFF);
    RVCFilterPGN dmRv(7, c, 0x1FECA);
    RVCFilterLegacyRaw legacy42(8, c, 0x42);
    RVCFilterRaw raw42(9, c, 0x42);
    const RVCFilter* filters[] = {&sa42, &saAny, &dmRv, &legacy42, &raw42};
    struct Case {
        Bytes request;
        std::vector<bool> removes;  // in the order of `filters`
    } cases[] = {
        {{0x81, 1, 2, 3, 4, 0x42}, {true, false, false, false, false}},
        {{0x81, 1, 2, 3, 4, 0xFF}, {false, true, false, false, false}},
        {{0x83, 1, 2, 3, 4, 0xCA, 0xFE, 0x01, 0x00}, {false, false, true, false, false}},
        {{0x83, 1, 2, 3, 4, 0xCA, 0xFE, 0x00, 0x00}, {false, false, false, false, false}},
        {{0x83, 1, 2, 3, 4, 0xCA, 0xFE, 0x01}, {false, false, false, false, false}},  // short
        {{0x85, 1, 2, 3, 4, 0x42}, {false, false, false, true, false}},
        {{0x87, 1, 2, 3, 4, 0x42}, {false, false, false, false, true}},
        {{0x87, 1, 2, 3, 4}, {false, false, false, false, false}},        // no address byte
        {{0x80, 1, 2, 3, 4, 0x42}, {false, false, false, false, false}},  // an add
        {{}, {false, false, false, false, false}},
    };
    for (const auto& c2 : cases) {
        for (size_t i = 0; i < std::size(filters); ++i) {
            EXPECT_EQ(filters[i]->matchesRemoval(c2.request), c2.removes[i])
                << "request " << (c2.request.empty() ? -1 : int(c2.request[0])) << " filter " << i;
        }
    }
}

TEST(RVCFilter, CookedFiltersTakeMessagesByAddressOrWholeDgn) {
    RVCClient c("Test", 1, MailslotWriter());
    RVCFilterSA sa42(1, c, 0x42);
    RVCFilterSA saAny(2, c, 0xFF);
    RVCFilterPGN request42(3, c, 0xEA42);
    struct Case {
        uint8_t kind;
        uint32_t dgn;
        uint8_t sa;
        bool sa42, saAny, request42;
    } cases[] = {
        {0, 0x1FECA, 0x42, true, true, false},   {0, 0x1FECA, 0x43, false, true, false},
        {3, 0x1FECA, 0x42, true, true, false},  // a record in frame kind
        {2, 0x1FECA, 0x42, false, false, false}, {0, 0xEA42, 0x10, false, true, true},
        {0, 0xEAFF, 0x10, false, true, false},  // a request to everyone is another DGN
    };
    for (const auto& k : cases) {
        RvcMessage m = *makeMessage(k.dgn, k.sa, Bytes{1, 2});
        m.kind = k.kind;
        EXPECT_EQ(sa42.offer(m), k.sa42) << std::hex << +k.dgn << " " << int(k.sa);
        EXPECT_EQ(saAny.offer(m), k.saAny) << std::hex << +k.dgn << " " << int(k.sa);
        EXPECT_EQ(request42.offer(m), k.request42) << std::hex << +k.dgn << " " << int(k.sa);
    }
}

TEST(RVCFilter, RawFiltersDeliverThemselvesAndNeverTakeARecord) {
    RVCClient c("Test", 1, MailslotWriter());
    RVCFilterRaw raw(1, c, 0xFF);
    RVCFilterLegacyRaw legacy(2, c, 0x42);
    const uint8_t data[] = {1};
    RvcFrame frame = makeFrame(CanIdentifier{6, 0xEB42, 0x42, 0}, 0, 1, data);
    EXPECT_FALSE(raw.offer(frame));
    EXPECT_FALSE(legacy.offer(frame));
    EXPECT_FALSE(raw.offer(*makeMessage(0x1FECA, 0x42, data)));
    EXPECT_FALSE(legacy.offer(*makeMessage(0x1FECA, 0x42, data)));
}

TEST(RVCFilter, ReportLinesAndRemovalNotices) {
    RVCClient c("Test", 1, MailslotWriter());
    struct Case {
        std::unique_ptr<RVCFilter> filter;
        std::string report;
        Bytes notice;
    };
    Case cases[] = {
        {std::make_unique<RVCFilterSA>(5, c, 0x42), "== 0005  Address: 42\r\n", {0x81, 0x42}},
        {std::make_unique<RVCFilterPGN>(0x1234, c, 0xFEEB),
         "== 1234  PGN: 0FEEB\r\n",
         {0x83, 0xEB, 0xFE, 0, 0}},
        {std::make_unique<RVCFilterLegacyRaw>(6, c, 0xFF),
         "== 0006  Legacy Raw Filter  Address: FF\r\n",
         {0x85, 0xFF}},
        {std::make_unique<RVCFilterRaw>(5, c, 0x42),
         "== 0005  Filter  Address: 42\r\n",
         {0x87, 0x42}},
        {std::make_unique<RVCFilter>(7, c), "Base Class\r\n", {}},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(k.filter->report(), k.report);
        EXPECT_EQ(k.filter->removalNotice(), k.notice) << k.report;
    }
}

TEST(ClientRequest, ParsesEachCodeOnlyWhenComplete) {
    struct Case {
        Bytes bytes;
        bool ok;
        uint32_t token;
        uint8_t address;
        uint32_t dgn;
        uint8_t mode, echo;
    } cases[] = {
        {{0x80, 0x78, 0x56, 0x34, 0x12, 0x42}, true, 0x12345678, 0x42, 0, 0, 0},
        {{0x80, 0x78, 0x56, 0x34, 0x12}, false, 0, 0, 0, 0, 0},
        {{0x82, 1, 0, 0, 0, 0xCA, 0xFE, 0x01, 0x00}, true, 1, 0, 0x1FECA, 0, 0},
        {{0x83, 1, 0, 0, 0, 0xCA, 0xFE, 0x01}, false, 0, 0, 0, 0, 0},
        {{0xE2, 1, 0, 0, 0, 7, 2}, true, 1, 0, 0, 7, 2},
        {{0xE2, 1, 0, 0, 0, 7}, false, 0, 0, 0, 0, 0},
        {{0xE0, 9, 0, 0, 0}, true, 9, 0, 0, 0, 0},
        {{0xFE, 9, 0, 0}, false, 0, 0, 0, 0, 0},
        {{0x00, 9, 0, 0, 0, 0, 0, 0}, false, 0, 0, 0, 0, 0},  // a send has no token
        {{0x42, 9, 0, 0, 0, 0}, false, 0, 0, 0, 0, 0},
        {{}, false, 0, 0, 0, 0, 0},
    };
    for (const auto& k : cases) {
        auto r = parseTokenRequest(k.bytes);
        ASSERT_EQ(r.has_value(), k.ok) << (k.bytes.empty() ? -1 : int(k.bytes[0]));
        if (!r) continue;
        EXPECT_EQ(r->token, k.token);
        EXPECT_EQ(r->address, k.address);
        EXPECT_EQ(+r->dgn, +k.dgn);
        EXPECT_EQ(r->mode, k.mode);
        EXPECT_EQ(r->echo, k.echo);
    }

    EXPECT_EQ(parseRegistration(Bytes{0xFF, 'M', 'o', 'd', 'A', 0, 'x'}), "ModA");
    EXPECT_EQ(parseRegistration(Bytes{0xFF, 'M', 'o', 'd', 'A'}), "ModA");  // no NUL: to the end
    EXPECT_FALSE(parseRegistration(Bytes{0xFF, '.', '.', 0}));
    EXPECT_FALSE(parseRegistration(Bytes{0xFF, 'a', '/', 'b', 0}));
    EXPECT_FALSE(parseRegistration(Bytes{0xFF, 0}));
    EXPECT_FALSE(parseRegistration(Bytes{0xFE, 'a', 0}));
}

}  // namespace
}  // namespace corvane
