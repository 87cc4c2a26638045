#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "script/DatumDefinition.h"
#include "script/RVCDatumMonitor.h"
#include "script/VariableList.h"

namespace corvane {
namespace {

// Adapter threads offer messages while the user-interface thread reads value texts, appends
// datums and empties the list, as LOOP, Run Again and closing the window do.
TEST(VariableListConcurrency, DispatchRacesReadsAppendsAndClears) {
    VariableList list;
    std::atomic<bool> stop{false};
    std::atomic<int> offered{0};

    std::vector<std::thread> dispatchers;
    for (int t = 0; t < 2; ++t) {
        dispatchers.emplace_back([&, t] {
            uint8_t data[8] = {1, 0, 0, 0, 0, 0, 0, 0};
            uint32_t n = 0;
            while (!stop.load()) {
                data[2] = static_cast<uint8_t>(n);
                data[3] = static_cast<uint8_t>(n >> 8);
                data[4] = static_cast<uint8_t>(t);
                list.offer(*makeMessage(0x1FFFD, 0x42, data));
                ++n;
                offered.fetch_add(1);
            }
        });
    }

    for (int round = 0; round < 300; ++round) {
        {
            auto vars = list.Lock();
            for (int i = 0; i < 5; ++i) {
                vars.Append(RVCDatumMonitor::FromDefinition(
                    ParseDatumDefinition(" v" + std::to_string(i) + " 1FFFD:01 [W3]"), true));
            }
        }
        for (int read = 0; read < 20; ++read) {
            auto vars = list.Lock();
            for (const auto& datum : vars.datums()) {
                const std::string text = datum->DisplayLine();
                datum->changed = 0;
                EXPECT_FALSE(text.empty());
            }
        }
        list.Clear();
    }
    // A datum appended now must take a value from the dispatchers that are still running.
    list.Lock().Append(
        RVCDatumMonitor::FromDefinition(ParseDatumDefinition(" last 1FFFD:01 [B5]"), true));
    int updates = 0;
    while (updates == 0) {
        std::this_thread::yield();
        auto vars = list.Lock();
        updates = vars.datums().front()->updates;
        const uint32_t raw = vars.datums().front()->raw;
        // Byte 5 carries the dispatcher's number; before any update the field is not available.
        EXPECT_TRUE(updates == 0 ? raw == 0xFF : raw <= 1) << raw;
    }
    stop = true;
    for (auto& t : dispatchers) t.join();
    list.Clear();
    EXPECT_TRUE(list.empty());
    EXPECT_GT(offered.load(), 0);
}

}  // namespace
}  // namespace corvane
