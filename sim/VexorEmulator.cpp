#include "sim/VexorEmulator.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "core/CanIdentifier.h"
#include "platform/SerialPortLineCutter.h"

namespace corvane::sim {

namespace {

constexpr size_t kPendingLimit =
    size_t{256} * 1024;  // receive FIFO, in line bytes: ~1.7 s at full load
constexpr size_t kToolLineLog = 10000;
constexpr int kPollMs = 1;
constexpr int kWriteWaitMs = 5;
constexpr uint32_t kLoadDgn = 0x1FFFD;  // DC_SOURCE_STATUS_1: plausible, harmless traffic
constexpr uint8_t kLoadPriority = 6;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "T" + 8 hex identifier digits + hex pairs -> frame; nullopt for anything else.
std::optional<RvcFrame> parseTransmit(std::string_view line) {
    if (line.size() < 9 || line.size() > 9 + 16 || (line.size() - 9) % 2 != 0) return {};
    uint32_t id = 0;
    for (size_t i = 1; i < 9; ++i) {
        int d = hexValue(line[i]);
        if (d < 0) return {};
        id = (id << 4) | static_cast<uint32_t>(d);
    }
    std::array<uint8_t, 8> data{};
    size_t length = (line.size() - 9) / 2;
    for (size_t i = 0; i < length; ++i) {
        int hi = hexValue(line[9 + 2 * i]);
        int lo = hexValue(line[10 + 2 * i]);
        if (hi < 0 || lo < 0) return {};
        data[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return makeFrame(unpackIdentifier(id), 0, static_cast<uint16_t>(length), data);
}

// The line the adapter sends for a received frame: "R" + identifier + data + ",time\r\n".
std::string receivedLine(const RvcFrame& f) {
    const uint32_t id =
        packIdentifier(f.priority, f.dgn | (static_cast<uint32_t>(f.reserved) << 17), f.sa);
    char text[64];
    int n = std::snprintf(text, sizeof text, "R%08X", static_cast<unsigned>(id));
    for (size_t i = 0; i < heldBytes(f); ++i) {
        n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%02X", f.data[i]);
    }
    n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ",%u\r\n",
                       static_cast<unsigned>(f.timestamp));
    return std::string(text, static_cast<size_t>(n));
}

}  // namespace

VexorEmulator::VexorEmulator(SimulatedVehicle& vehicle) : VexorEmulator(vehicle, Options{}) {}

VexorEmulator::VexorEmulator(SimulatedVehicle& vehicle, Options options)
    : vehicle_(vehicle), options_(options) {}

VexorEmulator::~VexorEmulator() { stop(); }

bool VexorEmulator::start() {
    stop();
    if (!pty_.open()) return false;
    pending_.clear();
    pendingLines_.clear();
    headStarted_ = false;
    cutRequested_ = false;
    probesIgnored_ = 0;
    loadSent_ = 0;
    open_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void VexorEmulator::unplugMidLine(const RvcFrame& frame) {
    const std::string line = receivedLine(frame);
    cutLine_ = line.substr(0, line.size() / 2);
    cutRequested_.store(true, std::memory_order_release);
    // The thread writes the half line and ends; then the terminal goes.
    if (thread_.joinable()) thread_.join();
    stop();
}

void VexorEmulator::writeCutLine() {
    // Finish a line already begun, so that the tool sees exactly half of the cut one.
    std::string text = headStarted_ && !pendingLines_.empty()
                           ? pending_.substr(0, pendingLines_.front().end)
                           : std::string();
    text += cutLine_;
    pty_.write(text, kWriteWaitMs);
}

void VexorEmulator::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    pty_.close();
    open_ = false;
}

void VexorEmulator::setCreditPool(std::optional<int> count) {
    std::lock_guard lock(mutex_);
    creditPool_ = count;
}

std::string VexorEmulator::dataRate() const {
    std::lock_guard lock(mutex_);
    return dataRate_;
}

std::vector<std::string> VexorEmulator::linesFromTool() const {
    std::lock_guard lock(mutex_);
    return linesFromTool_;
}

void VexorEmulator::run() {
    // The adapter this plays answers in a millisecond whatever the computer is doing, and the
    // tool gives it about 100 ms to answer its probe. On a busy machine an ordinary thread can
    // wait longer than that for a processor, and the tool would rightly find no adapter. So
    // while the tool has not opened it, the emulator runs at the lowest real-time priority (it
    // only waits for a question then); once open, it takes its turn with the tool's threads,
    // which must keep up with the bus it plays. Granted to root or with CAP_SYS_NICE;
    // otherwise the thread runs as any other throughout.
    bool realTime = false;
    auto keepPriority = [&realTime](bool wantRealTime) {
        if (wantRealTime == realTime) return;
        realTime = wantRealTime;
        sched_param param{};
        param.sched_priority = wantRealTime ? 1 : 0;
        pthread_setschedparam(pthread_self(), wantRealTime ? SCHED_FIFO : SCHED_OTHER, &param);
    };
    using Clock = std::chrono::steady_clock;
    const auto origin = Clock::now() - std::chrono::milliseconds(vehicle_.now());
    const auto loadOrigin = Clock::now();
    SerialPortLineCutter cutter;
    uint8_t buffer[1024];
    while (running_.load(std::memory_order_relaxed)) {
        if (cutRequested_.load(std::memory_order_acquire)) {
            writeCutLine();
            return;
        }
        keepPriority(!open_.load(std::memory_order_relaxed));
        pty_.waitReadable(kPollMs);
        for (;;) {
            std::ptrdiff_t n = pty_.read(buffer);
            if (n <= 0) break;
            cutter.feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)),
                        [this](std::string_view line) { handleLine(line); });
        }
        const auto now = Clock::now();
        const int64_t ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - origin).count();
        vehicle_.advanceTo(ms, [this](const RvcFrame& f) { queueFrame(f); });

        if (options_.loadFramesPerSecond > 0) {
            const int64_t loadMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - loadOrigin).count();
            const int64_t due = loadMs * options_.loadFramesPerSecond / 1000;
            const uint32_t sources = static_cast<uint32_t>(std::max(1, options_.loadSourceCount));
            // No load is made before the tool opens the adapter, so the first frame it can
            // receive is the first of the count and of the turn of sources, however late it
            // opened.
            if (!open_.load(std::memory_order_relaxed)) loadSent_ = due;
            for (; loadSent_ < due; ++loadSent_) {
                std::array<uint8_t, 8> data{};
                const auto sa = static_cast<uint8_t>(options_.loadSource + loadCounter_ % sources);
                ++loadCounter_;
                for (size_t i = 0; i < 4; ++i)
                    data[i] = static_cast<uint8_t>(loadCounter_ >> (8 * i));
                queueFrame(makeFrame(CanIdentifier{kLoadPriority, kLoadDgn, sa, 0},
                                     static_cast<uint32_t>(ms), 8, data));
            }
        }
        flush();
    }
}

void VexorEmulator::handleLine(std::string_view line) {
    {
        std::lock_guard lock(mutex_);
        if (linesFromTool_.size() >= kToolLineLog) linesFromTool_.erase(linesFromTool_.begin());
        linesFromTool_.emplace_back(line);
    }
    if (line == "v:") {
        if (probesIgnored_ < options_.ignoredProbes) {
            ++probesIgnored_;
            return;
        }
        open_ = true;
        reply(std::string(kBanner) + "\r\n");
    } else if (line == "v.") {
        open_ = false;
        // Frames not yet on the line are dropped; one already begun is finished.
        size_t keep = headStarted_ && !pendingLines_.empty() ? 1 : 0;
        pending_.resize(keep ? pendingLines_[0].end : 0);
        pendingLines_.resize(keep);
    } else if (line == "b?") {
        int credits;
        {
            std::lock_guard lock(mutex_);
            credits = creditPool_ ? *creditPool_ : options_.credits;
        }
        reply("b=" + std::to_string(credits) + "\r\n");
    } else if (line == "c=250K" || line == "c=500K") {
        {
            std::lock_guard lock(mutex_);
            dataRate_ = std::string(line.substr(2));
        }
        reply(std::string(line) + "\r\n");
    } else if (line.size() >= 1 && line[0] == 'T') {
        auto frame = parseTransmit(line);
        if (!frame) return;
        {
            std::lock_guard lock(mutex_);
            if (creditPool_) {
                if (*creditPool_ == 0) {
                    // A real adapter would drop it: the tool broke the credit rule.
                    overflows_.fetch_add(1, std::memory_order_relaxed);
                    return;
                }
                --*creditPool_;
            }
        }
        transmits_.fetch_add(1, std::memory_order_relaxed);
        vehicle_.receive(*frame);
    }
}

void VexorEmulator::queueFrame(const RvcFrame& f) {
    if (!open_.load(std::memory_order_relaxed) || !busActive_.load(std::memory_order_relaxed)) {
        return;
    }
    const std::string line = receivedLine(f);
    if (pending_.size() + line.size() > kPendingLimit) {
        framesDropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    queueLine(line, &f);
}

void VexorEmulator::queueLine(std::string_view text, const RvcFrame* frame) {
    pending_.append(text);
    pendingLines_.push_back({pending_.size(), frame != nullptr, frame ? *frame : RvcFrame{}});
}

void VexorEmulator::reply(std::string_view text) {
    // Behind the frames already queued, never inside a line.
    queueLine(text, nullptr);
    flush();
}

void VexorEmulator::flush() {
    if (pending_.empty()) return;
    std::ptrdiff_t n = pty_.write(pending_, kWriteWaitMs);
    if (n <= 0) return;
    size_t written = static_cast<size_t>(n);
    size_t complete = 0;
    uint64_t frames = 0;
    while (complete < pendingLines_.size() && pendingLines_[complete].end <= written) {
        if (pendingLines_[complete].frame) {
            ++frames;
            if (tap_) tap_(pendingLines_[complete].record);
        }
        ++complete;
    }
    framesWritten_.fetch_add(frames, std::memory_order_relaxed);
    const size_t lastEnd = complete > 0 ? pendingLines_[complete - 1].end : 0;
    const bool wasStarted = headStarted_;
    pending_.erase(0, written);
    pendingLines_.erase(pendingLines_.begin(),
                        pendingLines_.begin() + static_cast<std::ptrdiff_t>(complete));
    for (auto& line : pendingLines_) line.end -= written;
    headStarted_ = !pendingLines_.empty() && (written > lastEnd || (complete == 0 && wasStarted));
}

}  // namespace corvane::sim
