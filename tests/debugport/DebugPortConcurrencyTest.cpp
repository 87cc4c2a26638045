#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "debugport/DebugPort.h"
#include "debugport/FunctionCommand.h"
#include "platform/MemorySettingsStore.h"
#include "platform/TcpStream.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

// Traces from several threads while clients come and go, commands are replaced while
// running, and finally the port stops with a client connected.
TEST(DebugPortConcurrency, TracesCommandsAndClientsFromManyThreads) {
    MemorySettingsStore settings;
    DebugPort port(settings, 0);
    port.commands().add("devs", std::make_unique<FunctionCommand>(
                                    [](const std::string&) { return std::string("Nodes\n\r"); }));
    ASSERT_TRUE(port.start(true));

    std::atomic<bool> done{false};
    std::vector<std::thread> tracers;
    for (int t = 0; t < 3; ++t) {
        tracers.emplace_back([&, t] {
            while (!done.load()) {
                DebugPrint("thread %d\r\n", t);
                std::this_thread::sleep_for(1ms);
            }
        });
    }
    std::thread registrar([&] {
        for (int i = 0; i < 50 && !done.load(); ++i) {
            port.commands().add("devs", std::make_unique<FunctionCommand>([](const std::string&) {
                                    return std::string("Nodes\n\r");
                                }));
            std::this_thread::sleep_for(2ms);
        }
    });

    int answered = 0;
    for (int round = 0; round < 5; ++round) {
        TcpStream client = TcpStream::connectTo("127.0.0.1", port.port());
        ASSERT_TRUE(client.valid());
        ASSERT_TRUE(client.send("devs\r\n"));
        std::string text;
        std::array<uint8_t, 512> buffer;
        auto deadline = std::chrono::steady_clock::now() + 2s;
        while (text.find("Nodes\n\r") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            if (!client.waitReadable(20)) continue;
            long n = client.receive(buffer);
            if (n <= 0) break;
            text.append(reinterpret_cast<const char*>(buffer.data()), size_t(n));
        }
        if (text.find("Nodes\n\r") != std::string::npos) ++answered;
    }
    EXPECT_EQ(answered, 5);

    TcpStream last = TcpStream::connectTo("127.0.0.1", port.port());
    ASSERT_TRUE(last.valid());
    std::this_thread::sleep_for(20ms);
    port.stop();
    done = true;
    for (auto& t : tracers) t.join();
    registrar.join();
    EXPECT_FALSE(port.listening());
}

}  // namespace
}  // namespace corvane
