#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/ClientBus.h"
#include "core/DeviceTable.h"
#include "core/EchoControl.h"
#include "core/FrameSender.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "platform/MemorySettingsStore.h"
#include "sdk/ModuleClient.h"
#include "tests/support/FakeClock.h"

namespace corvane::test {

// Stands in for the adapter: keeps every frame the tool puts on the wire; `echo` is its
// echo option.
class RecordingAdapter final : public FrameSender {
  public:
    struct Sent {
        uint32_t dgn;
        uint8_t sa;
        uint8_t priority;
        std::vector<uint8_t> data;
    };
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override {
        std::lock_guard lock(mutex);
        sent.push_back({dgn, sa, priority, std::vector<uint8_t>(data, data + length)});
    }
    bool echoTransmits() const override { return echo.load() != 0; }
    std::vector<Sent> frames() {
        std::lock_guard lock(mutex);
        return sent;
    }

    std::atomic<uint32_t> echo{0};
    std::mutex mutex;
    std::vector<Sent> sent;
};

// The tool's side of the bus, real all the way down to the sockets, in a private runtime
// folder.
class BusFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvane-bus-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        runtime = pattern;
        setenv("CORVANE_RUNTIME_DIR", runtime.c_str(), 1);
        transmit.setSender(&adapter);
        bus = std::make_unique<ClientBus>(manager, transmit);
        ASSERT_TRUE(bus->valid());
        bus->setEchoControl(&echoControl);
        manager.setClientDelivery(bus.get());
        bus->start();
    }
    void TearDown() override {
        manager.setClientDelivery(nullptr);
        bus.reset();
        unsetenv("CORVANE_RUNTIME_DIR");
        std::filesystem::remove_all(runtime);
    }

    // The echo option as the mode command sees it.
    struct Echo final : EchoControl {
        explicit Echo(RecordingAdapter& a) : adapter(a) {}
        uint32_t echoTransmits() const override { return adapter.echo.load(); }
        void setEchoTransmits(uint32_t on) override { adapter.echo.store(on); }
        RecordingAdapter& adapter;
    };

    std::string runtime;
    MemorySettingsStore settings;
    FakeClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    RecordingAdapter adapter;
    Echo echoControl{adapter};
    std::unique_ptr<ClientBus> bus;
};

}  // namespace corvane::test
