#include "adapters/ReplayConduit.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "adapters/CandumpLogReader.h"
#include "core/RVCManager.h"
#include "debugport/DebugPrint.h"
#include "platform/RegularFile.h"

namespace corvane {

ReplayConduit::ReplayConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                             UserNotifier& notifier)
    : Conduit(settings, transmit), manager_(manager), notifier_(notifier) {}

ReplayConduit::~ReplayConduit() { disconnect(); }

void ReplayConduit::setFile(std::string path) {
    std::lock_guard lock(lifecycleMutex_);
    path_ = std::move(path);
}

std::optional<double> ReplayConduit::parseSpeed(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

void ReplayConduit::setSpeed(double speed) {
    std::lock_guard lock(lifecycleMutex_);
    speed_ = speed < 0.0 ? 1.0 : speed;
}

void ReplayConduit::setLoop(bool on) {
    std::lock_guard lock(lifecycleMutex_);
    loop_ = on;
}

bool ReplayConduit::load(const std::string& path, std::string& error) {
    std::string text;
    const RegularFile::Status read = RegularFile::readAll(path, kMaxLogBytes, text);
    if (read == RegularFile::Status::CannotOpen) {
        error = "Could not open the log file " + path;
        return false;
    }
    if (read != RegularFile::Status::Ok) {
        error = "The log file " + path + " " + RegularFile::describe(read, kMaxLogBytes);
        return false;
    }
    entries_.clear();
    CandumpLogReader reader(text);
    CandumpRecord record;
    while (reader.next(record)) entries_.push_back(Entry{record.micros, frameFromCandump(record)});
    skipped_ = reader.skipped();
    frameCount_ = entries_.size();
    if (entries_.empty()) {
        error = "The log file " + path + " holds no extended CAN frame";
        return false;
    }
    return true;
}

int ReplayConduit::connect() {
    std::lock_guard lock(lifecycleMutex_);
    if (playing()) return 1;
    if (getState() == kDisabled) return 0;
    stopThread();  // a finished pass leaves its thread to be joined
    std::string error;
    if (!load(path_, error)) {
        notifier_.showMessage(error, kTitle);
        return 0;
    }
    played_ = 0;
    passes_ = 0;
    finished_ = false;
    {
        std::lock_guard wakeLock(wakeMutex_);
        stopRequested_ = false;
    }
    playing_.store(true, std::memory_order_release);
    setState(kConnected);
    DebugPrint("Replaying %s\r\n", path_.c_str());
    manager_.deviceTable().addToolEntries();
    thread_ = std::thread([this, speed = speed_, loop = loop_] { replayLoop(speed, loop); });
    return 1;
}

int ReplayConduit::reconnect() {
    disconnect();
    return connect();
}

void ReplayConduit::disconnect() {
    std::lock_guard lock(lifecycleMutex_);
    const bool wasConnected = getState() == kConnected;
    stopThread();
    if (!wasConnected) return;
    manager_.reset();
    Conduit::disconnect();
}

void ReplayConduit::stopThread() {
    {
        std::lock_guard wakeLock(wakeMutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    playing_.store(false, std::memory_order_release);
}

void ReplayConduit::sendFrame(uint32_t, uint8_t, uint8_t, uint16_t, const uint8_t*) {}

bool ReplayConduit::waitUntil(std::chrono::steady_clock::time_point due) {
    std::unique_lock lock(wakeMutex_);
    return !wake_.wait_until(lock, due, [this] { return stopRequested_; });
}

std::chrono::steady_clock::duration ReplayConduit::loopPause(double speed) const {
    using Clock = std::chrono::steady_clock;
    Clock::duration pause = kMinLoopPause;
    if (speed > 0.0 && entries_.size() > 1) {
        const double meanGap =
            static_cast<double>(entries_.back().micros - entries_.front().micros) /
            static_cast<double>(entries_.size() - 1) / speed;
        pause = std::max(pause, std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double, std::micro>(meanGap)));
    }
    return pause;
}

void ReplayConduit::replayLoop(double speed, bool loop) {
    using Clock = std::chrono::steady_clock;
    const int64_t first = entries_.front().micros;
    const Clock::duration pause = loopPause(speed);
    bool stopped = false;
    Clock::time_point start = Clock::now();
    for (;;) {
        Clock::time_point lastDue = start;
        for (const Entry& e : entries_) {
            if (speed > 0.0) {
                const auto offset = std::chrono::duration<double, std::micro>(
                    static_cast<double>(e.micros - first) / speed);
                lastDue = start + std::chrono::duration_cast<Clock::duration>(offset);
                if (!waitUntil(lastDue)) {
                    stopped = true;
                    break;
                }
            } else {
                std::lock_guard lock(wakeMutex_);
                if (stopRequested_) {
                    stopped = true;
                    break;
                }
            }
            logTime_.store(e.micros, std::memory_order_relaxed);
            manager_.intake(e.frame);
            played_.fetch_add(1, std::memory_order_relaxed);
        }
        if (stopped) break;
        passes_.fetch_add(1, std::memory_order_relaxed);
        if (!loop) break;
        // The next pass keeps the log's rhythm: it starts one pause after this pass's last
        // frame was due, so even a one-frame log does not restart without end.
        start = (speed > 0.0 ? lastDue : Clock::now()) + pause;
        if (!waitUntil(start)) {
            stopped = true;
            break;
        }
    }
    if (stopped) return;
    std::ostringstream text;
    text << "Replay finished: " << played_.load() << " frames played, " << skipped_.load()
         << " lines skipped.";
    // Told before the end is published, so whoever sees it finished also has the message.
    notifier_.showMessage(text.str(), kTitle);
    finished_.store(true, std::memory_order_release);
    playing_.store(false, std::memory_order_release);
}

}  // namespace corvane
