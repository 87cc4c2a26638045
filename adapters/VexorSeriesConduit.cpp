#include "adapters/VexorSeriesConduit.h"

#include "adapters/VexorLineParser.h"
#include "core/RVCManager.h"
#include "debugport/DebugPrint.h"

namespace corvane {

namespace {

constexpr auto kProbeWait = std::chrono::milliseconds(20);
constexpr auto kReconnectPause = std::chrono::milliseconds(50);
// The reader's longest wait for input, and so for a stop to be seen.
constexpr int kReaderWaitMs = 20;
constexpr size_t kReadChunk = 1024;
// While the adapter has no room, it is asked again only this long after the last question:
// an unanswered one was lost, and one answered "no room" is not worth repeating sooner (the
// questions would crowd the line the adapter's answer and our frames need).
constexpr auto kCreditQueryInterval = std::chrono::milliseconds(20);
constexpr size_t kProbeRead = 1024;
// How long the probe still waits for an answer after its last question.
constexpr int kLateAnswerMs = 250;

}  // namespace

VexorSeriesConduit::VexorSeriesConduit(SettingsStore& settings, TransmitPath& transmit,
                                       RVCManager& manager, AdapterSettings& adapterSettings,
                                       UserNotifier& notifier, std::string preferredPort)
    : Conduit(settings, transmit),
      manager_(manager),
      adapterSettings_(adapterSettings),
      notifier_(notifier),
      serialPorts_(settings, "Corvane", "SerialPorts", ""),
      preferredPort_(std::move(preferredPort)),
      reader_(*this, manager, *this) {}

VexorSeriesConduit::~VexorSeriesConduit() { reader_.stop(); }

void VexorSeriesConduit::setPreferredPort(std::string path) {
    std::lock_guard lock(reader_.mutex());
    preferredPort_ = std::move(path);
    std::lock_guard shown(locationMutex_);
    shownPreferredPort_ = preferredPort_;
}

std::string VexorSeriesConduit::portName() const { return port_.portName(); }

std::string VexorSeriesConduit::location() const {
    if (!portName().empty()) return portName();
    std::lock_guard lock(locationMutex_);
    return shownPreferredPort_;
}

int32_t VexorSeriesConduit::credits() const {
    std::lock_guard lock(creditMutex_);
    return creditState_.credits;
}

int VexorSeriesConduit::connect() { return reader_.start() ? 1 : 0; }

int VexorSeriesConduit::reconnect() {
    reader_.stop();
    std::this_thread::sleep_for(kReconnectPause);
    return connect();
}

void VexorSeriesConduit::disconnect() { reader_.stop(); }

bool VexorSeriesConduit::openLink() {
    for (const auto& path : SerialPort::candidates(serialPorts_.value(), preferredPort_)) {
        std::string after;
        if (!probe(path, after)) continue;
        startSession(std::move(after));
        return true;
    }
    notifier_.showMessage(kNotFoundText, kNotFoundTitle);
    return false;
}

bool VexorSeriesConduit::probe(const std::string& path, std::string& after) {
    if (!port_.open(path)) return false;
    port_.write("v:\n");
    std::this_thread::sleep_for(kProbeWait);
    std::string received;  // everything read, from the start of its first unfinished line
    uint8_t buffer[kProbeRead];
    for (int attempt = 1; attempt <= kProbeAttempts + 1; ++attempt) {
        // After the attempts, one last look: an answer comes to us through the kernel's
        // terminal layer, which on a busy computer can take longer than the attempts' 100 ms.
        if (attempt > kProbeAttempts && !port_.waitReadable(kLateAnswerMs)) break;
        std::ptrdiff_t n = port_.read(buffer);
        if (n <= 0) {
            if (attempt < kProbeAttempts) {
                port_.write("v:\n");
                std::this_thread::sleep_for(kProbeWait);
            }
            continue;
        }
        received.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
        size_t start = 0;
        for (size_t end; (end = received.find_first_of("\r\n", start)) != std::string::npos;
             start = end + 1) {
            if (isVexorBanner(std::string_view(received).substr(start, end - start))) {
                after = received.substr(end + 1);
                return true;
            }
        }
        received.erase(0, start);
    }
    port_.write("v.\n");
    port_.close();
    return false;
}

void VexorSeriesConduit::startSession(std::string after) {
    {
        std::lock_guard lock(creditMutex_);
        creditState_ = CreditState{};
    }
    cutter_.clear();
    earlier_ = std::move(after);
    {
        std::lock_guard lock(queueMutex_);
        accepting_ = true;
    }
    {
        std::lock_guard lock(senderMutex_);
        senderStop_ = false;
        senderPoked_ = false;
    }
    sender_ = std::thread([this] { senderLoop(); });
    DebugPrint("Vexor-series adapter on %s\r\n", port_.portName().c_str());
    queryCredits();
    port_.write(adapterSettings_.dataRate().value() == AdapterSettings::kRate250k ? "c=250K\n"
                                                                                  : "c=500K\n");
}

ReaderThread::Read VexorSeriesConduit::readLink() {
    auto deliver = [this](std::string_view line) { handleLine(line); };
    if (!earlier_.empty()) {
        cutter_.feed(std::span(reinterpret_cast<const uint8_t*>(earlier_.data()), earlier_.size()),
                     deliver);
        earlier_.clear();
    }
    uint8_t buffer[kReadChunk];
    const std::ptrdiff_t n = port_.read(buffer);
    if (n == SerialPort::kReadFailed) {
        DebugPrint("Vexor-series adapter on %s lost\r\n", port_.portName().c_str());
        return ReaderThread::Read::Lost;
    }
    if (n == 0) {
        port_.waitReadable(kReaderWaitMs);
        return ReaderThread::Read::More;
    }
    cutter_.feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), deliver);
    return ReaderThread::Read::More;
}

// Ends a session once the reader has stopped: the sender first (so that nothing follows
// "v."), then the line. A lost line is not told goodbye.
void VexorSeriesConduit::closeLink(bool lost) {
    {
        std::lock_guard lock(queueMutex_);
        accepting_ = false;
    }
    stopSender();
    const size_t dropped = dropQueued();
    DebugPrint("Vexor-series adapter link ended: %zu unsent frame(s) dropped\r\n", dropped);
    if (!lost) port_.write("v.\n");
    port_.close();
    std::lock_guard lock(creditMutex_);
    creditState_ = CreditState{};
}

void VexorSeriesConduit::handleLine(std::string_view line) {
    VexorLine parsed = parseVexorLine(line);
    switch (parsed.kind) {
        case VexorLine::Kind::Frame:
            manager_.intake(parsed.frame);
            break;
        case VexorLine::Kind::Credits: {
            std::unique_lock lock(creditMutex_);
            // Frames written after the query are not in the adapter's count yet.
            int32_t c = parsed.credits - creditState_.sentSinceQuery;
            creditState_.credits = c > 0 ? c : 0;
            creditState_.queryOutstanding = false;
            creditState_.answeredNoRoom = parsed.credits <= 0;
            creditState_.sentSinceQuery = 0;
            lock.unlock();
            wakeSender();
            break;
        }
        case VexorLine::Kind::DataRate:
            adapterSettings_.dataRate().set(parsed.rateSetting);
            break;
        case VexorLine::Kind::Ignored:
            break;
    }
}

void VexorSeriesConduit::queryCredits() {
    {
        std::lock_guard lock(creditMutex_);
        creditState_.queryOutstanding = true;
        creditState_.sentSinceQuery = 0;
        creditState_.queriedAt = std::chrono::steady_clock::now();
    }
    port_.write("b?\n");
}

size_t VexorSeriesConduit::dropQueued() {
    std::lock_guard lock(queueMutex_);
    const size_t write = queueWrite_.load(std::memory_order_relaxed);
    const size_t read = queueRead_.load(std::memory_order_relaxed);
    queueRead_.store(write, std::memory_order_release);
    return (write + kQueueSize - read) % kQueueSize;
}

bool VexorSeriesConduit::queueEmpty() const {
    return queueRead_.load(std::memory_order_relaxed) ==
           queueWrite_.load(std::memory_order_acquire);
}

void VexorSeriesConduit::sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                                   const uint8_t* data) {
    if (length > 8) return;
    // Checked under the lock: a frame taken after dropQueued() would wait for the next link.
    {
        std::lock_guard lock(queueMutex_);
        if (!accepting_ || !connected()) return;
        size_t write = queueWrite_.load(std::memory_order_relaxed);
        size_t next = (write + 1) % kQueueSize;
        if (next == queueRead_.load(std::memory_order_acquire)) {
            manager_.droppedWork().countFullRing();
            return;
        }
        RvcFrame& slot = transmitQueue_[write];
        slot = RvcFrame{};
        slot.kind = RvcFrame::kKind;
        slot.dgn = dgn;
        slot.sa = sa;
        slot.priority = priority;
        slot.length = length;
        for (size_t i = 0; i < length && data; ++i) slot.data[i] = data[i];
        queueWrite_.store(next, std::memory_order_release);
    }
    wakeSender();
}

void VexorSeriesConduit::sendDataRate(int32_t rate) {
    if (!connected()) return;
    port_.write(rate == AdapterSettings::kRate250k ? "c=250K\n" : "c=500K\n");
}

void VexorSeriesConduit::wakeSender() {
    {
        std::lock_guard lock(senderMutex_);
        senderPoked_ = true;
    }
    senderWake_.notify_one();
}

void VexorSeriesConduit::stopSender() {
    {
        std::lock_guard lock(senderMutex_);
        senderStop_ = true;
    }
    senderWake_.notify_one();
    if (sender_.joinable()) sender_.join();
}

void VexorSeriesConduit::senderLoop() {
    std::optional<Clock::time_point> lookAgain;
    for (;;) {
        {
            std::unique_lock lock(senderMutex_);
            auto woken = [this] { return senderStop_ || senderPoked_; };
            if (lookAgain) {
                senderWake_.wait_until(lock, *lookAgain, woken);
            } else {
                senderWake_.wait(lock, woken);
            }
            if (senderStop_) return;
            senderPoked_ = false;
        }
        lookAgain = sendQueued();
    }
}

std::optional<VexorSeriesConduit::Clock::time_point> VexorSeriesConduit::sendQueued() {
    char line[kVexorTransmitMax];
    while (!queueEmpty() && !senderStop_.load(std::memory_order_relaxed)) {
        bool ask = false;
        bool out = false;
        Clock::time_point queriedAt;
        {
            std::lock_guard lock(creditMutex_);
            const auto now = Clock::now();
            if (creditState_.credits == 0) {
                // One query at a time: a second answer would count the same places twice.
                // Places used up are asked for at once; no answer, or "no room", waits.
                const bool waited = now - creditState_.queriedAt >= kCreditQueryInterval;
                ask = waited || (!creditState_.queryOutstanding && !creditState_.answeredNoRoom);
            } else {
                --creditState_.credits;
                if (creditState_.queryOutstanding) ++creditState_.sentSinceQuery;
                out = true;
                ask = creditState_.credits == kCreditQueryMark && !creditState_.queryOutstanding;
            }
            queriedAt = creditState_.queriedAt;
        }
        if (!out) {
            if (ask) queryCredits();
            // An answer wakes the sender; without one, the question is repeated when due.
            return (ask ? Clock::now() : queriedAt) + kCreditQueryInterval;
        }
        size_t read = queueRead_.load(std::memory_order_relaxed);
        const RvcFrame& f = transmitQueue_[read];
        size_t n = formatVexorTransmit(f.dgn, f.sa, f.priority, f.length, f.data, line);
        queueRead_.store((read + 1) % kQueueSize, std::memory_order_release);
        port_.write(std::string_view(line, n));
        if (ask) queryCredits();
    }
    return std::nullopt;
}

}  // namespace corvane
