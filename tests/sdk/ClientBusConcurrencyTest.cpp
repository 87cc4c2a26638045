#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/sdk/BusFixture.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

class ClientBusConcurrency : public test::BusFixture {};

// Adapter threads dispatch while module threads register, change filters, inject messages
// and unregister, and the debug report reads the client list.
TEST_F(ClientBusConcurrency, DispatchWhileModulesComeAndGo) {
    std::atomic<bool> done{false};
    std::vector<std::thread> adapters;
    for (int t = 0; t < 2; ++t) {
        adapters.emplace_back([&, t] {
            const uint8_t data[] = {1, 2, 3, 4};
            while (!done.load()) {
                manager.intake(
                    makeFrame(CanIdentifier{6, 0x1FECA, uint8_t(0x40 + t), 0}, 0, 4, data));
                std::this_thread::sleep_for(100us);
            }
        });
    }
    std::thread reporter([&] {
        while (!done.load()) {
            bus->report();
            std::this_thread::sleep_for(1ms);
        }
    });

    std::atomic<int> delivered{0};
    std::vector<std::thread> modules;
    for (int m = 0; m < 3; ++m) {
        modules.emplace_back([&, m] {
            for (int round = 0; round < 3; ++round) {
                sdk::ModuleClient client;
                if (!client.registerAs("Mod" + std::to_string(m))) continue;
                client.addAddressFilter(uint8_t(0x40 + m % 2));
                client.addRawFilter(0xFF);
                const uint8_t data[] = {7};
                client.simulateReception(0x1FFB7, 0x10, data);
                for (int i = 0; i < 20; ++i) {
                    if (auto e = client.receive(20ms);
                        e && (e->type == sdk::ModuleEvent::Type::Message ||
                              e->type == sdk::ModuleEvent::Type::Frame)) {
                        delivered.fetch_add(1);
                    }
                }
                client.removeRawFilter(0xFF);
                client.unregister();
            }
        });
    }
    for (auto& t : modules) t.join();
    done = true;
    for (auto& t : adapters) t.join();
    reporter.join();
    EXPECT_GT(delivered.load(), 0);
    EXPECT_TRUE(test::waitUntil([&] { return bus->clientCount() == 0; }));
}

}  // namespace
}  // namespace corvane
