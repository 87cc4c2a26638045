#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "adapters/Conduit.h"
#include "adapters/UserNotifier.h"
#include "core/RvcFrame.h"

namespace corvane {

class RVCManager;

// Plays a candump log file into the manager's intake as if a vehicle were on the bus: with
// the log's own timing, at a chosen speed, or as fast as possible, once or in a loop.
// Transmissions are accepted and dropped (the transmit path still echoes them when echo is
// on). Lines that do not parse are skipped; when a pass ends, the user is told how many.
//
// Threads: connect/disconnect and the setters run on the user-interface thread; the replay
// thread calls intake. Everything the replay thread reads while running is fixed before it
// starts; its progress is published through atomics.
class ReplayConduit : public Conduit {
  public:
    static constexpr const char* kTitle = "Replay";
    static constexpr double kAsFastAsPossible = 0.0;
    // A log is read whole into memory; a larger one is refused rather than exhausting it.
    static constexpr size_t kMaxLogBytes = size_t{256} << 20;
    // The shortest pause between the passes of a loop, whatever the log and the speed.
    static constexpr std::chrono::milliseconds kMinLoopPause{10};

    ReplayConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                  UserNotifier& notifier);
    ~ReplayConduit() override;

    // A speed as typed: "10", "0.5", "0" (as fast as possible). Nothing for anything but a
    // finite number not below zero.
    static std::optional<double> parseSpeed(const std::string& text);

    // Takes effect at the next connect.
    void setFile(std::string path);
    // 1.0 plays with the original timing, 10.0 ten times faster, kAsFastAsPossible without
    // waits. Negative speeds count as 1.0.
    void setSpeed(double speed);
    // Loops keep the log's rhythm: the next pass starts the log's mean gap between frames
    // (at the chosen speed) after the last frame, and never less than kMinLoopPause after it.
    void setLoop(bool on);

    // Reads the whole file and starts playing. 0 (with a message) when the file cannot be
    // read, is not a regular file, is larger than kMaxLogBytes or holds no frame.
    int connect() override;
    int reconnect() override;
    void disconnect() override;
    // Accepted silently: a log cannot be transmitted to.
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;

    bool playing() const { return playing_.load(std::memory_order_acquire); }
    // Set when a pass ends without looping.
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    uint64_t framesPlayed() const { return played_.load(std::memory_order_relaxed); }
    uint64_t passes() const { return passes_.load(std::memory_order_relaxed); }
    // Lines of the file that were skipped (malformed, CAN FD, 11-bit, out of order).
    size_t skippedLines() const { return skipped_.load(std::memory_order_relaxed); }
    size_t framesInLog() const { return frameCount_.load(std::memory_order_relaxed); }
    // The log's time stamp (microseconds since 1970) of the frame played last.
    int64_t logTime() const { return logTime_.load(std::memory_order_relaxed); }

  private:
    struct Entry {
        int64_t micros;
        RvcFrame frame;
    };

    bool load(const std::string& path, std::string& error);
    void replayLoop(double speed, bool loop);
    // The wait between the last frame of a pass and the first of the next.
    std::chrono::steady_clock::duration loopPause(double speed) const;
    // Waits until `due` or until told to stop; true when it is time to play.
    bool waitUntil(std::chrono::steady_clock::time_point due);
    void stopThread();

    RVCManager& manager_;
    UserNotifier& notifier_;

    std::mutex lifecycleMutex_;  // guards the settings below, entries_ and the thread
    std::string path_;
    double speed_ = 1.0;
    bool loop_ = false;
    std::vector<Entry> entries_;  // read-only while the replay thread runs
    std::thread thread_;

    std::mutex wakeMutex_;  // guards stopRequested_ for the waits
    std::condition_variable wake_;
    bool stopRequested_ = false;

    std::atomic<bool> playing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<uint64_t> played_{0};
    std::atomic<uint64_t> passes_{0};
    std::atomic<size_t> skipped_{0};
    std::atomic<size_t> frameCount_{0};
    std::atomic<int64_t> logTime_{0};
};

}  // namespace corvane
