#include "logs/ReplayConduit.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "core/RVCManager.h"
#include "debugport/DebugPrint.h"
#include "platform/RegularFile.h"

namespace corvane {

ReplayConduit::ReplayConduit(SettingsStore& settings, TransmitPath& transmit, RVCManager& manager,
                             UserNotifier& notifier)
    : Conduit(settings, transmit),
      manager_(manager),
      notifier_(notifier),
      reader_(*this, manager, *this) {}

ReplayConduit::~ReplayConduit() { reader_.stop(); }

void ReplayConduit::setFile(std::string path) {
    std::lock_guard lock(reader_.mutex());
    path_ = std::move(path);
    std::lock_guard shown(locationMutex_);
    location_ = path_;
}

std::string ReplayConduit::location() const {
    std::lock_guard lock(locationMutex_);
    return location_;
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
    std::lock_guard lock(reader_.mutex());
    speed_ = speed < 0.0 ? 1.0 : speed;
}

void ReplayConduit::setLoop(bool on) {
    std::lock_guard lock(reader_.mutex());
    loop_ = on;
}

void ReplayConduit::setStartOffset(int64_t micros) {
    std::lock_guard lock(reader_.mutex());
    startOffset_ = std::max<int64_t>(micros, 0);
}

std::optional<int64_t> ReplayConduit::parseStartOffset(const std::string& text) {
    // Up to three fields separated by ':', the last one with an optional fraction.
    double total = 0.0;
    size_t from = 0;
    for (int field = 0; field < 3; ++field) {
        const size_t colon = text.find(':', from);
        const std::string part =
            text.substr(from, colon == std::string::npos ? colon : colon - from);
        if (part.empty() || part.find_first_not_of("0123456789.") != std::string::npos)
            return std::nullopt;
        const bool last = colon == std::string::npos;
        if (!last && part.find('.') != std::string::npos) return std::nullopt;
        const auto value = parseSpeed(part);
        if (!value) return std::nullopt;
        total = total * 60.0 + *value;
        if (last) return static_cast<int64_t>(std::llround(total * 1e6));
        from = colon + 1;
    }
    return std::nullopt;
}

bool ReplayConduit::openLog(std::string& error) {
    log_ = std::make_unique<LogFrameReader>();
    if (!log_->open(playPath_)) {
        const RegularFile::Status status = log_->openStatus();
        error = status == RegularFile::Status::CannotOpen
                    ? "Could not open the log file " + playPath_
                    : "The log file " + playPath_ + " " + RegularFile::describe(status);
        return false;
    }
    log_->setInterrupt([this] { return stopRequested_.load(std::memory_order_relaxed); });
    framesRead_ = 0;
    publishPosition();
    return true;
}

bool ReplayConduit::findFirst(std::string& error) {
    const bool found = log_->next(first_);
    skipped_ = log_->skipped();
    if (!found) {
        if (log_->interrupted()) return false;
        const std::string why = log_->faultText();
        error = "The log file " + playPath_ + " " +
                (why.empty() ? std::string("holds no extended CAN frame") : why);
        return false;
    }
    logStart_.store(first_.micros, std::memory_order_relaxed);
    publishPosition();
    return true;
}

void ReplayConduit::publishPosition() {
    fileBytes_.store(log_->fileSize(), std::memory_order_relaxed);
    bytesRead_.store(log_->filePosition(), std::memory_order_relaxed);
    framesRead_.store(log_->framesRead(), std::memory_order_relaxed);
}

double ReplayConduit::percentRead() const {
    const uint64_t size = fileBytes();
    return size == 0 ? 0.0 : 100.0 * static_cast<double>(bytesRead()) / static_cast<double>(size);
}

int ReplayConduit::connect() { return reader_.start() ? 1 : 0; }

int ReplayConduit::reconnect() {
    reader_.stop();
    return connect();
}

void ReplayConduit::disconnect() { reader_.stop(); }

bool ReplayConduit::openLink() {
    std::string error;
    frameCount_ = 0;
    playPath_ = path_;
    stopRequested_ = false;  // the replay thread has not started: no wait to wake
    bool opened = openLog(error);
    if (opened) {
        // Only a short look for the first frame here, on the caller's thread: a log that
        // begins with a long stretch of other lines is searched on by the replay thread.
        log_->setInterrupt([this] {
            return log_->lineNumber() >= kLinesReadOnConnect ||
                   log_->filePosition() >= kBytesReadOnConnect;
        });
        firstPending_ = !findFirst(error);
        opened = !firstPending_ || log_->interrupted();
        log_->setInterrupt([this] { return stopRequested_.load(std::memory_order_relaxed); });
    }
    if (!opened) {
        log_.reset();
        notifier_.showMessage(error, kTitle);
        return false;
    }
    played_ = 0;
    passes_ = 0;
    finished_ = false;
    playSpeed_ = speed_;
    playLoop_ = loop_;
    playOffset_ = startOffset_;
    DebugPrint("Replaying %s\r\n", path_.c_str());
    return true;
}

void ReplayConduit::wakeReader() {
    {
        std::lock_guard wakeLock(wakeMutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

void ReplayConduit::sendFrame(uint32_t, uint8_t, uint8_t, uint16_t, const uint8_t*) {}

bool ReplayConduit::waitUntil(std::chrono::steady_clock::time_point due) {
    std::unique_lock lock(wakeMutex_);
    return !wake_.wait_until(lock, due, [this] { return stopRequested_.load(); });
}

std::chrono::steady_clock::duration ReplayConduit::loopPause(double speed) const {
    using Clock = std::chrono::steady_clock;
    Clock::duration pause = kMinLoopPause;
    if (speed > 0.0 && passFrames_ > 1) {
        const double meanGap = static_cast<double>(passLast_ - passFirst_) /
                               static_cast<double>(passFrames_ - 1) / speed;
        pause = std::max(pause, std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double, std::micro>(meanGap)));
    }
    return pause;
}

bool ReplayConduit::playPass(std::chrono::steady_clock::time_point start, int64_t from,
                             std::chrono::steady_clock::time_point& lastDue) {
    using Clock = std::chrono::steady_clock;
    const double speed = playSpeed_;
    CandumpRecord record = first_;
    passFrames_ = 0;
    lastDue = start;
    // A start time into the log: the frames before it are read past, not played, and a stop
    // interrupts the reading.
    while (record.micros < from) {
        if (!log_->next(record)) return !log_->interrupted();
        if (log_->framesRead() % 1024 == 0) publishPosition();
    }
    passFirst_ = passLast_ = record.micros;
    do {
        if (speed > 0.0) {
            const auto offset = std::chrono::duration<double, std::micro>(
                static_cast<double>(record.micros - passFirst_) / speed);
            lastDue = start + std::chrono::duration_cast<Clock::duration>(offset);
            if (!waitUntil(lastDue)) return false;
        } else if (stopRequested_.load(std::memory_order_relaxed)) {
            return false;
        }
        logTime_.store(record.micros, std::memory_order_relaxed);
        manager_.intake(frameFromCandump(record));
        played_.fetch_add(1, std::memory_order_relaxed);
        passLast_ = record.micros;
        if (++passFrames_ % 1024 == 0) {
            publishPosition();
            skipped_ = log_->skipped();
        }
    } while (log_->next(record));
    return !log_->interrupted();
}

bool ReplayConduit::playPasses(std::string& error) {
    using Clock = std::chrono::steady_clock;
    const double speed = playSpeed_;
    int64_t from = first_.micros + playOffset_;
    Clock::time_point start = Clock::now();
    for (;;) {
        Clock::time_point lastDue = start;
        if (!playPass(start, from, lastDue)) return false;
        publishPosition();
        skipped_ = log_->skipped();
        frameCount_ = log_->framesRead();
        faultText_ = log_->faultText();
        passes_.fetch_add(1, std::memory_order_relaxed);
        if (!playLoop_) return true;
        // The next pass keeps the log's rhythm: it starts one pause after this pass's last
        // frame was due, so even a one-frame log does not restart without end.
        start = (speed > 0.0 ? lastDue : Clock::now()) + loopPause(speed);
        if (!waitUntil(start)) return false;
        // Each pass reads the file again from the top.
        if (!openLog(error)) return true;
        if (!findFirst(error)) return !log_->interrupted();
        from = first_.micros;
    }
}

ReaderThread::Read ReplayConduit::readLink() {
    std::string error;
    if (firstPending_) {
        // The connect did not reach the first frame: the search goes on here.
        firstPending_ = false;
        if (!findFirst(error) && log_->interrupted()) return ReaderThread::Read::More;
    }
    if (error.empty() && !playPasses(error)) return ReaderThread::Read::More;  // told to stop
    std::ostringstream text;
    if (!error.empty()) {
        text << "Replay stopped: " << error << '.';
    } else {
        text << "Replay finished: " << played_.load() << " frames played, " << skipped_.load()
             << " lines skipped.";
        if (!faultText_.empty()) text << " The log file " << playPath_ << ' ' << faultText_ << '.';
    }
    // Told before the end is published, so whoever sees it finished also has the message.
    notifier_.showMessage(text.str(), kTitle);
    finished_.store(true, std::memory_order_release);
    return ReaderThread::Read::Ended;
}

}  // namespace corvane
