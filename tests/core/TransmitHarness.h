#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/ClientDelivery.h"
#include "core/DeviceTable.h"
#include "core/FrameSender.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/RvcFrame.h"
#include "core/RvcMessage.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/FakeClock.h"

namespace corvane::test {

// One frame as an adapter was asked to put it on the wire.
struct SentFrame {
    uint32_t dgn;
    uint8_t sa;
    uint8_t priority;
    uint16_t length;
    std::vector<uint8_t> data;
};

// Stands in for the adapter hardware: keeps every frame it is handed.
class RecordingSender final : public FrameSender {
  public:
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override {
        {
            std::lock_guard lock(mutex_);
            frames_.push_back(
                SentFrame{dgn, sa, priority, length,
                          std::vector<uint8_t>(data, data + (length < 8 ? length : 8))});
        }
        // A real adapter takes a moment per frame; giving way here lets other senders in.
        if (yield_) std::this_thread::yield();
    }
    void setYield(bool on) { yield_ = on; }
    bool echoTransmits() const override { return echo_; }
    void setEcho(bool on) { echo_ = on; }

    std::vector<SentFrame> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        frames_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<SentFrame> frames_;
    bool echo_ = false;
    bool yield_ = false;
};

// Stands in for the module client bus: keeps what dispatch delivers to raw and cooked clients.
class RecordingClients final : public ClientDelivery {
  public:
    void deliverRaw(const RvcFrame& frame) override {
        std::lock_guard lock(mutex_);
        raw_.push_back(frame);
    }
    void deliverCooked(const RvcMessage& message) override {
        std::lock_guard lock(mutex_);
        cooked_.push_back(message);
    }
    std::string report() const override { return {}; }

    std::vector<RvcFrame> raw() const {
        std::lock_guard lock(mutex_);
        return raw_;
    }
    std::vector<RvcMessage> cooked() const {
        std::lock_guard lock(mutex_);
        return cooked_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        raw_.clear();
        cooked_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<RvcFrame> raw_;
    std::vector<RvcMessage> cooked_;
};

// The network core wired as at start-up: manager, transmit path, long messages and the
// dispatch stage between them, with a recording adapter current.
struct TransmitHarness {
    TransmitHarness() {
        manager.setTransportStage(&stage);
        manager.setClientDelivery(&clients);
        transmit.setSender(&sender);
    }

    // A received frame, through the manager's intake.
    void receive(uint32_t dgn, uint8_t sa, std::vector<uint8_t> data, uint8_t priority = 6) {
        manager.intake(makeFrame(CanIdentifier{priority, dgn, sa, 0}, 0,
                                 static_cast<uint16_t>(data.size()), data));
    }

    // Lets the fake clock run, 50 ms per periodic tick, until every long transfer is out.
    void drainPaced() {
        for (int tick = 0; tick < 100'000 && transmit.pacedFramesPending() > 0; ++tick) {
            clock.advanceMs(BroadcastPacer::kGapMs);
            transmit.pacingStep();
        }
    }

    MemorySettingsStore settings;
    FakeClock clock;
    DeviceTable devices{clock};
    RVCManager manager{settings, devices};
    TransmitPath transmit{manager};
    LongMessages longMessages{manager, transmit};
    TransportStage stage{longMessages, transmit};
    RecordingClients clients;
    RecordingSender sender;
};

inline std::vector<uint8_t> bytesOf(const RvcMessage& m) {
    return std::vector<uint8_t>(m.data, m.data + m.length);
}

}  // namespace corvane::test
