#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/RvcFrame.h"
#include "platform/PseudoTerminal.h"
#include "sim/SimulatedVehicle.h"

namespace corvane::sim {

// A Vexor-series USB-CAN adapter on a pseudo-terminal, attached to a simulated vehicle. It
// speaks the adapter's side of the line protocol: the banner on "v:", received frames as "R"
// lines (with the vehicle's millisecond as timestamp) from then until "v.", the credit count
// on "b?", "c=250K" / "c=500K" echoed, and every "T" line put on the simulated bus.
//
// One thread reads the tool's lines and advances the vehicle in real time; the controls and
// counters below may be used from any thread.
class VexorEmulator {
  public:
    static constexpr const char* kBanner = "TDE VX-2 CAN 1.04 emulated";
    static constexpr int kDefaultCredits = 64;

    struct Options {
        // Extra frames per second on the bus beyond the vehicle's own traffic: bus load.
        int loadFramesPerSecond = 0;
        // Source address of the load frames; with loadSourceCount above 1 they come in turn
        // from that many consecutive addresses starting here.
        uint8_t loadSource = 0x80;
        int loadSourceCount = 1;
        // "v:" probes left unanswered before the banner is sent: an adapter slow to wake.
        int ignoredProbes = 0;
        // Reported credits while the transmit buffer empties at once.
        int credits = kDefaultCredits;
    };

    // Sees every frame once its "R" line is fully written, on the emulator thread: exactly
    // what the tool was sent.
    using FrameTap = std::function<void(const RvcFrame&)>;

    explicit VexorEmulator(SimulatedVehicle& vehicle);
    VexorEmulator(SimulatedVehicle& vehicle, Options options);
    ~VexorEmulator();
    VexorEmulator(const VexorEmulator&) = delete;
    VexorEmulator& operator=(const VexorEmulator&) = delete;

    // Opens the pseudo-terminal and starts the thread. False when no terminal could be had.
    bool start();
    // Installs the tap; only while the thread is not running.
    void setWrittenTap(FrameTap tap) { tap_ = std::move(tap); }
    // Ends the thread and closes the terminal: to the tool, the adapter is unplugged.
    void stop();
    // Pulls the adapter out half way through a line: the first half of `frame`'s "R" line
    // reaches the tool (behind a line already begun), then the terminal closes as stop() does.
    void unplugMidLine(const RvcFrame& frame);
    // The path the tool opens.
    std::string path() const { return pty_.slavePath(); }

    // A fixed transmit buffer of `count` free places that "T" lines use up and nothing
    // refills; nullopt returns to a buffer that empties at once.
    void setCreditPool(std::optional<int> count);
    // Stops (false) or resumes putting bus frames on the line, as if the bus went quiet.
    void setBusActive(bool active) { busActive_.store(active, std::memory_order_relaxed); }

    // Whether the tool has started the adapter ("v:" answered, no "v." since).
    bool open() const { return open_.load(std::memory_order_relaxed); }
    // "R" lines fully written to the tool since start().
    uint64_t framesWritten() const { return framesWritten_.load(std::memory_order_relaxed); }
    // Frames lost because the tool did not read fast enough.
    uint64_t framesDropped() const { return framesDropped_.load(std::memory_order_relaxed); }
    // "T" lines taken, and those that arrived with no credit left (a broken credit rule).
    uint64_t transmits() const { return transmits_.load(std::memory_order_relaxed); }
    uint64_t overflows() const { return overflows_.load(std::memory_order_relaxed); }
    // The last data rate commanded: "250K", "500K", or empty.
    std::string dataRate() const;
    // Every line the tool wrote, in order (the last 10000).
    std::vector<std::string> linesFromTool() const;

  private:
    void run();
    void handleLine(std::string_view line);
    void queueFrame(const RvcFrame& frame);
    void writeCutLine();
    void queueLine(std::string_view text, const RvcFrame* frame);
    void flush();
    void reply(std::string_view text);

    SimulatedVehicle& vehicle_;
    Options options_;
    FrameTap tap_;
    PseudoTerminal pty_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> open_{false};
    std::atomic<bool> busActive_{true};

    // Owned by the emulator thread: the bytes not yet taken by the terminal, and where each
    // line in them ends (and whether it is a received frame). The first line may have been
    // written in part.
    struct PendingLine {
        size_t end;
        bool frame;
        RvcFrame record;  // the frame of an "R" line, for the tap
    };
    std::string pending_;
    std::vector<PendingLine> pendingLines_;
    bool headStarted_ = false;
    std::atomic<bool> cutRequested_{false};
    std::string cutLine_;  // set before cutRequested_, read by the emulator thread after it
    int probesIgnored_ = 0;
    int64_t loadSent_ = 0;
    uint32_t loadCounter_ = 0;

    mutable std::mutex mutex_;  // guards the fields below
    std::optional<int> creditPool_;
    std::string dataRate_;
    std::vector<std::string> linesFromTool_;

    std::atomic<uint64_t> framesWritten_{0};
    std::atomic<uint64_t> framesDropped_{0};
    std::atomic<uint64_t> transmits_{0};
    std::atomic<uint64_t> overflows_{0};
};

}  // namespace corvane::sim
