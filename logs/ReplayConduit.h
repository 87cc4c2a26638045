#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "adapters/Conduit.h"
#include "adapters/ReaderThread.h"
#include "adapters/UserNotifier.h"
#include "core/RvcFrame.h"
#include "logs/LogFrameReader.h"

namespace corvane {

class RVCManager;

// Plays a log file (candump or ASC, plain, .gz or .zst; see LogFrameReader) into the
// manager's intake as if a vehicle were on the bus: with the log's own timing, at a chosen
// speed, or as fast as possible, once or in a loop, from the start or from a time into the
// log. The file is streamed, never held whole, so a replay of any size starts at once; each
// pass of a loop opens it again. Transmissions are accepted and dropped (the transmit path
// still echoes them when echo is on). Lines that do not parse are skipped; when a pass ends,
// the user is told how many, and whether the file broke off early.
//
// Threads: connect/disconnect and the setters run on the user-interface thread; the replay
// thread is the link's reader (see ReaderThread) and calls intake. The connect only opens the
// file and reads a few thousand lines for the first frame; any longer search, and the
// reading past frames before a start time, happen on the replay thread and stop as soon as
// a disconnect asks. Everything the replay thread reads while running is fixed before it
// starts; its progress (log time, per cent of the file) is published through atomics.
class ReplayConduit : public Conduit, private ReaderThread::Link {
  public:
    static constexpr const char* kTitle = "Replay";
    static constexpr double kAsFastAsPossible = 0.0;
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
    // The log file played.
    std::string location() const override;
    // 1.0 plays with the original timing, 10.0 ten times faster, kAsFastAsPossible without
    // waits. Negative speeds count as 1.0.
    void setSpeed(double speed);
    // Loops keep the log's rhythm: the next pass starts the log's mean gap between frames
    // (at the chosen speed) after the last frame, and never less than kMinLoopPause after it.
    void setLoop(bool on);

    // Plays from this far into the log (microseconds after its first frame); 0 from the top.
    // Only the first pass of a loop starts there. Takes effect at the next connect.
    void setStartOffset(int64_t micros);
    // "hh:mm:ss", "mm:ss" or seconds ("90", "1.5") -> microseconds; nothing when malformed.
    static std::optional<int64_t> parseStartOffset(const std::string& text);

    // About how many lines, and bytes of the file, the connect reads looking for the first
    // frame: lines of a normal log, bytes of one without line ends.
    static constexpr uint64_t kLinesReadOnConnect = 4 * LogFrameReader::kAskEveryLines;
    static constexpr uint64_t kBytesReadOnConnect = uint64_t{8} << 20;

    // Opens the file and starts playing. 0 (with a message) when the file cannot be opened,
    // is not a regular file, or holds no frame in a short file; a longer log whose first
    // frame is not found later ends its replay with the same message.
    int connect() override;
    int reconnect() override;
    void disconnect() override;
    // Accepted silently: a log cannot be transmitted to.
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override;

    bool playing() const { return reader_.reading(); }
    // Set when a pass ends without looping.
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    uint64_t framesPlayed() const { return played_.load(std::memory_order_relaxed); }
    // Frames the current pass has read from the log: played, or passed over on the way to
    // its start time.
    uint64_t framesRead() const { return framesRead_.load(std::memory_order_relaxed); }
    uint64_t passes() const { return passes_.load(std::memory_order_relaxed); }
    // Lines of the file that were skipped (malformed, CAN FD, 11-bit, out of order).
    size_t skippedLines() const { return skipped_.load(std::memory_order_relaxed); }
    // Frames of a whole pass; 0 until the first pass has ended.
    size_t framesInLog() const { return frameCount_.load(std::memory_order_relaxed); }
    // The log's time stamp (microseconds since 1970) of the frame played last.
    int64_t logTime() const { return logTime_.load(std::memory_order_relaxed); }
    // The time stamp of the log's first frame: logTime() - logStart() is the time into it.
    int64_t logStart() const { return logStart_.load(std::memory_order_relaxed); }
    // How much of the file the current pass has read: bytes, of the file's size.
    uint64_t bytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }
    uint64_t fileBytes() const { return fileBytes_.load(std::memory_order_relaxed); }
    // The same as a share, 0 to 100.
    double percentRead() const;

  private:
    bool openLink() override;
    // Plays the whole log (every pass of a loop); returns when it ends or is told to stop.
    ReaderThread::Read readLink() override;
    void closeLink(bool) override {}
    void wakeReader() override;

    // A fresh reader of playPath_, interrupted by a stop; false with a message.
    bool openLog(std::string& error);
    // Reads up to the first frame, into first_. False at the end of the log (with a message)
    // or when the reader was interrupted (without one).
    bool findFirst(std::string& error);
    // Every pass of the log; false when told to stop, or with `error` set when a pass could
    // not begin.
    bool playPasses(std::string& error);
    // Plays one pass from the reader's current frame; false when told to stop.
    bool playPass(std::chrono::steady_clock::time_point start, int64_t from,
                  std::chrono::steady_clock::time_point& lastDue);
    void publishPosition();
    // The wait between the last frame of a pass and the first of the next.
    std::chrono::steady_clock::duration loopPause(double speed) const;
    // Waits until `due` or until told to stop; true when it is time to play.
    bool waitUntil(std::chrono::steady_clock::time_point due);

    RVCManager& manager_;
    UserNotifier& notifier_;

    // A copy of path_ for the status line, under a lock of its own: the reader's lock is held
    // through a whole open.
    mutable std::mutex locationMutex_;
    std::string location_;
    // Guarded by reader_.mutex(); the replay thread reads the values taken at its start.
    std::string path_;
    double speed_ = 1.0;
    bool loop_ = false;
    double playSpeed_ = 1.0;
    bool playLoop_ = false;
    int64_t startOffset_ = 0;
    int64_t playOffset_ = 0;
    // The replay thread's own while it runs (set up by openLink before it starts).
    std::unique_ptr<LogFrameReader> log_;
    std::string playPath_;       // path_ as the replay started
    CandumpRecord first_{};      // the next frame to play
    bool firstPending_ = false;  // the connect did not reach the first frame
    int64_t passFirst_ = 0;      // time stamps of the first and last frames of the last pass
    int64_t passLast_ = 0;
    uint64_t passFrames_ = 0;
    std::string faultText_;

    // Set under wakeMutex_, so that a wait cannot miss it; read without it between frames.
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopRequested_{false};

    std::atomic<bool> finished_{false};
    std::atomic<uint64_t> played_{0};
    std::atomic<uint64_t> framesRead_{0};
    std::atomic<uint64_t> passes_{0};
    std::atomic<size_t> skipped_{0};
    std::atomic<size_t> frameCount_{0};
    std::atomic<int64_t> logTime_{0};
    std::atomic<int64_t> logStart_{0};
    std::atomic<uint64_t> bytesRead_{0};
    std::atomic<uint64_t> fileBytes_{0};

    ReaderThread reader_;  // last: stopped before the members it reads through go
};

}  // namespace corvane
