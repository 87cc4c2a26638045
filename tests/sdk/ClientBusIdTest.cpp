#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <thread>

#include "sdk/ModuleClient.h"
#include "tests/sdk/BusFixture.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using sdk::ModuleClient;
using sdk::ModuleEvent;

using ClientBusIdTest = test::BusFixture;

// Filter IDs are 16 bits. A module that adds filter after filter holds all 65536 at last; the
// next filter is refused without an answer, and the bus goes on serving requests instead of
// searching for a free ID for ever.
TEST_F(ClientBusIdTest, AModuleHoldingEveryFilterIdIsRefusedTheNextOne) {
    ModuleClient client;
    ASSERT_TRUE(client.registerAs("Many"));
    constexpr size_t kIds = 65536;
    for (size_t i = 0; i <= kIds; ++i) {
        // The tool's slot queues only a handful of requests: wait for room.
        while (!client.addAddressFilter(0x42)) std::this_thread::yield();
    }
    ASSERT_TRUE(client.setMode(0xFF, 0xFF));

    size_t added = 0;
    std::optional<ModuleEvent> event;
    while ((event = client.receive(10s)) && event->type == ModuleEvent::Type::FilterAdded) ++added;
    ASSERT_TRUE(event) << "no answer after " << added << " filters";
    EXPECT_EQ(event->type, ModuleEvent::Type::Mode);
    EXPECT_EQ(added, kIds);
}

}  // namespace
}  // namespace corvane
