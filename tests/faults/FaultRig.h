#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/ApplicationCore.h"
#include "app/CCorvaneDlg.h"
#include "app/DeviceListBox.h"
#include "app/MainWindowParts.h"
#include "app/QtNotifier.h"
#include "platform/Clock.h"
#include "platform/MemorySettingsStore.h"
#include "platform/TcpStream.h"
#include "sim/SimulatedVehicle.h"
#include "sim/VexorEmulator.h"

namespace corvane::test {

using namespace std::chrono_literals;

// How long the rig waits for what takes a second or so on a quiet machine (the tool connected
// and its devices listed, a load's first thousand frames): the suite runs tests side by side
// on two cores, where it may take several. A wait ends as soon as its condition holds, so a
// passing run is no slower for it.
inline constexpr std::chrono::milliseconds kSettle = 15s;

// Widgets need an application object; one for the whole test program, on a platform that
// shows nothing.
inline void ensureApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "faults_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Fresh runtime and settings folders for one test (mailslots, the instance lock, the settings
// file), and a scratch folder for its files.
class FreshFolders {
  public:
    FreshFolders() {
        setenv("CORVANE_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
        setenv("CORVANE_CONFIG_DIR", config_.path().toLocal8Bit().constData(), 1);
    }
    ~FreshFolders() {
        unsetenv("CORVANE_RUNTIME_DIR");
        unsetenv("CORVANE_CONFIG_DIR");
    }
    std::string runtime() const { return runtime_.path().toStdString(); }
    std::string config() const { return config_.path().toStdString(); }
    std::string settingsFile() const { return config() + "/Corvane.ini"; }
    std::string scratch(const std::string& name = {}) const {
        return name.empty() ? scratch_.path().toStdString()
                            : scratch_.path().toStdString() + "/" + name;
    }

  private:
    QTemporaryDir runtime_;
    QTemporaryDir config_;
    QTemporaryDir scratch_;
};

// Messages the user would have seen as message boxes, from any thread.
class MessageLog {
  public:
    void add(const std::string& text, const std::string& title) {
        std::lock_guard lock(mutex_);
        shown_.emplace_back(text, title);
    }
    std::vector<std::pair<std::string, std::string>> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    // How many messages hold `part` in their text.
    size_t count(const std::string& part) const {
        std::lock_guard lock(mutex_);
        size_t n = 0;
        for (const auto& [text, title] : shown_) n += text.find(part) != std::string::npos;
        return n;
    }
    std::string all() const {
        std::string out;
        for (const auto& [text, title] : shown()) out += "[" + title + "] " + text + "\n";
        return out;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> shown_;
};

// A terminal program on the debug port: types lines, collects what comes back.
class DebugClient {
  public:
    explicit DebugClient(uint16_t port) : stream_(TcpStream::connectTo("127.0.0.1", port)) {}
    bool connected() const { return stream_.valid(); }
    bool send(const std::string& line) { return stream_.send(line); }
    // Reads until the text received so far holds `marker`, at most `limit`.
    bool readUntil(const std::string& marker, std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (received.find(marker) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left <= 0ms) return false;
            if (!stream_.waitReadable(static_cast<int>(left.count()))) continue;
            uint8_t buffer[4096];
            const long n = stream_.receive(buffer);
            if (n <= 0) return received.find(marker) != std::string::npos;
            received.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
        }
        return true;
    }
    // Reads until the tool closes the connection, at most `limit`; true when it did.
    bool readToEnd(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            if (!stream_.waitReadable(20)) continue;
            uint8_t buffer[65536];
            const long n = stream_.receive(buffer);
            if (n <= 0) return true;
            received.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
        }
        return false;
    }
    void close() { stream_.close(); }

    std::string received;

  private:
    TcpStream stream_;
};

// Asks "devs" on a new connection and returns the report's device lines; nothing when the
// port did not answer within `limit`. "?" behind it marks where the report ends, since
// traces may arrive around it.
inline std::optional<std::vector<std::string>> askDevs(uint16_t port,
                                                       std::chrono::milliseconds limit) {
    DebugClient client(port);
    if (!client.connected() || !client.send("devs\r\n?\r\n")) return std::nullopt;
    if (!client.readUntil("Available Commands", limit)) return std::nullopt;
    const std::string& text = client.received;
    const size_t devices = text.find("Devices\n\r");
    const size_t end = text.find("Available Commands");
    if (devices == std::string::npos || devices > end) return std::nullopt;
    std::vector<std::string> lines;
    for (size_t at = text.find("  SA: ", devices); at < end; at = text.find("  SA: ", at + 1)) {
        lines.push_back(text.substr(at, text.find("\n\r", at) - at));
    }
    return lines;
}

// A file-size limit for this process, as a full disk shows itself to a writer: writes past
// `bytes` fail (EFBIG) instead of raising SIGXFSZ. Restored when the object goes.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool active() const { return active_; }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

// Makes a file or folder unchangeable for this process: the immutable attribute for root
// (whom permissions do not stop), read-only permissions for anybody else. Undone when the
// object goes. active() says whether it took: a file system without the attribute cannot
// play this fault for root.
class Unchangeable {
  public:
    explicit Unchangeable(std::string path) : path_(std::move(path)) {
        struct stat info {};
        if (::stat(path_.c_str(), &info) != 0) return;
        mode_ = info.st_mode & 07777;
        if (::geteuid() != 0) {
            active_ = ::chmod(path_.c_str(), S_ISDIR(info.st_mode) ? 0555 : 0444) == 0;
            return;
        }
        active_ = setImmutable(true);
    }
    ~Unchangeable() {
        if (!active_) return;
        if (::geteuid() == 0) {
            setImmutable(false);
        } else {
            ::chmod(path_.c_str(), mode_);
        }
    }
    bool active() const { return active_; }

  private:
    bool setImmutable(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::string path_;
    mode_t mode_ = 0;
    bool active_ = false;
};

// The running tool as start-up builds it - the application-wide objects, the main window with
// the module services - and its debug port on a free port. The window runs on the offscreen
// platform; messages for the user are recorded instead of shown.
class ToolRig {
  public:
    struct Options {
        DemoAdapter demo = DemoAdapter::None;
        // A simulated vehicle behind a serial emulator of the rig's own, offered to the serial
        // adapter as the preferred port: the default settings connect to it at start-up.
        bool ownVexor = false;
        int busLoad = 0;  // extra frames a second on the own emulator's bus
        // The settings the tool runs on; an in-memory store when null.
        SettingsStore* settings = nullptr;
    };

    explicit ToolRig(Options options) {
        ensureApplication();
        if (options.ownVexor) {
            vehicle_ = std::make_unique<sim::SimulatedVehicle>();
            sim::VexorEmulator::Options emulator;
            emulator.loadFramesPerSecond = options.busLoad;
            vexor_ = std::make_unique<sim::VexorEmulator>(*vehicle_, emulator);
            EXPECT_TRUE(vexor_->start());
        }
        SettingsStore& settings = options.settings ? *options.settings : memory_;
        StartOptions start;
        start.debugPort = true;
        start.debugPortNumber = 0;  // any free port: suites run side by side
        start.demo = options.demo;
        if (vexor_) start.serialPort = vexor_->path();
        core_ = std::make_unique<ApplicationCore>(settings, clock_, start);

        notifier_.setShower([this](const std::string& text, const std::string& title) {
            messages.add(text, title);
        });
        core_->notifier().route(&notifier_);
        parts_ = std::make_unique<MainWindowParts>(*core_, folder_.path().toStdString());
        window_ = std::make_unique<CCorvaneDlg>(parts_->services(), notifier_);
        window_->show();
    }

    ~ToolRig() {
        core_->notifier().route(nullptr);
        window_.reset();
        parts_.reset();
        core_.reset();
        vexor_.reset();
    }

    ApplicationCore& core() { return *core_; }
    CCorvaneDlg& window() { return *window_; }
    sim::VexorEmulator* vexor() { return vexor_.get(); }
    uint16_t debugPort() const { return core_->debugPort().port(); }

    // Runs the user-interface thread's event loop for `time`.
    void pump(std::chrono::milliseconds time) {
        pumpUntil([] { return false; }, time);
    }
    // Runs the event loop until `done` holds or `limit` has passed; whether it held.
    template <typename Done>
    bool pumpUntil(Done done, std::chrono::milliseconds limit) {
        QElapsedTimer since;
        since.start();
        while (!done()) {
            if (since.elapsed() >= limit.count()) return done();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        return true;
    }

    // Frames the manager has taken in since its last reset.
    int64_t framesTaken() const {
        AddressStats s = core_->manager().networkStats();
        return static_cast<int64_t>(s.total) + s.count;
    }
    bool framesFlowing(std::chrono::milliseconds within = 2000ms) {
        const int64_t before = framesTaken();
        return pumpUntil([&] { return framesTaken() > before + 10; }, within);
    }
    int rows() const { return window_->deviceList().count(); }

    // Sends `command` to the debug port on a new connection, the window's events running
    // meanwhile, and returns what came back until the help that "?" asks for behind it; what
    // had come by `limit` when the help did not.
    std::string askDebugPort(const std::string& command, std::chrono::milliseconds limit) {
        auto answer = std::async(std::launch::async, [port = debugPort(), command, limit] {
            DebugClient client(port);
            client.send(command + "\r\n?\r\n");
            client.readUntil("Available Commands", limit);
            return client.received;
        });
        pumpUntil([&] { return answer.wait_for(0s) == std::future_status::ready; }, limit + 1000ms);
        return answer.get();
    }

    // What every fault test ends with: the window answers (a queued call runs within a
    // second, its timer ticks, and its device list comes to show at least `minDevices` rows)
    // and the debug port answers "devs" with at least `minDevices` devices.
    void expectStillAnswering(size_t minDevices) {
        SCOPED_TRACE("the tool after the fault");
        bool ran = false;
        QMetaObject::invokeMethod(
            window_.get(), [&ran] { ran = true; }, Qt::QueuedConnection);
        EXPECT_TRUE(pumpUntil([&] { return ran; }, 1000ms)) << "the window takes no events";
        const int ticks = core_->duties().counter();
        EXPECT_TRUE(pumpUntil([&] { return core_->duties().counter() != ticks; }, 1000ms))
            << "the window's timer stopped";
        // A connection just made lists its nodes as they identify themselves: within about
        // four seconds on the simulated vehicle.
        EXPECT_TRUE(pumpUntil([&] { return rows() >= static_cast<int>(minDevices); }, 6000ms))
            << rows() << " rows";

        auto answer = std::async(std::launch::async, askDevs, debugPort(), 3000ms);
        pumpUntil([&] { return answer.wait_for(0s) == std::future_status::ready; }, 4000ms);
        std::optional<std::vector<std::string>> devices = answer.get();
        ASSERT_TRUE(devices.has_value()) << "the debug port does not answer \"devs\"";
        EXPECT_GE(devices->size(), minDevices);
    }

    MessageLog messages;

  private:
    SystemClock clock_;
    MemorySettingsStore memory_;
    QTemporaryDir folder_;
    std::unique_ptr<sim::SimulatedVehicle> vehicle_;
    std::unique_ptr<sim::VexorEmulator> vexor_;
    std::unique_ptr<ApplicationCore> core_;
    QtNotifier notifier_;
    std::unique_ptr<MainWindowParts> parts_;
    std::unique_ptr<CCorvaneDlg> window_;
};

}  // namespace corvane::test
