#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <thread>

#include "core/ClientBus.h"
#include "core/ClientRequest.h"
#include "sdk/ModuleClient.h"
#include "sdk/ModuleWire.h"
#include "tests/faults/FaultRig.h"

namespace corvane::test {
namespace {

constexpr size_t kVehicleRows = 5;
constexpr uint8_t kLoadSource = 0x80;  // the serial emulator's bus load comes from here

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A module played by hand on a datagram socket of its own, so that it can die or hang in
// ways the client library never would.
class HandModule {
  public:
    HandModule(const std::string& runtime, const std::string& name, std::string toolSlot)
        : name_(name), path_(runtime + "/mailslot/RVC/" + name), tool_(std::move(toolSlot)) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const timeval wait{1, 0};  // a tool that stops reading fails the test, not hangs it
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        const sockaddr_un address = addressOf(path_);
        ::unlink(path_.c_str());
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~HandModule() { die(); }

    bool send(const std::vector<uint8_t>& request) const {
        const sockaddr_un address = addressOf(tool_);
        return ::sendto(fd_, request.data(), request.size(), 0,
                        reinterpret_cast<const sockaddr*>(&address),
                        sizeof address) == static_cast<ssize_t>(request.size());
    }
    std::vector<uint8_t> registration() const {
        // Sized at once: growing a one-byte vector sets off a false -Warray-bounds in GCC 12.
        std::vector<uint8_t> request(1 + name_.size() + 1, 0);
        request.front() = clientbus::kRegister;
        std::copy(name_.begin(), name_.end(), request.begin() + 1);
        return request;
    }
    // Registers and waits for the token.
    bool registerClient() {
        if (fd_ < 0 || !send(registration())) return false;
        pollfd wait{fd_, POLLIN, 0};
        uint8_t reply[64];
        while (::poll(&wait, 1, 2000) > 0) {
            const ssize_t n = ::recv(fd_, reply, sizeof reply, 0);
            if (n == 5 && reply[0] == clientbus::kRegister) {
                std::memcpy(&token_, reply + 1, 4);
                return true;
            }
        }
        return false;
    }
    bool addFilter(uint8_t code, uint8_t address) {
        std::vector<uint8_t> request{code};
        putU32(request, token_);
        request.push_back(address);
        return send(request);
    }
    // The module's process ends without a word: its mailslot goes.
    void die() {
        if (fd_ < 0) return;
        ::close(fd_);
        ::unlink(path_.c_str());
        fd_ = -1;
    }

  private:
    static sockaddr_un addressOf(const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        return address;
    }

    std::string name_;
    std::string path_;
    std::string tool_;
    int fd_ = -1;
    uint32_t token_ = 0;
};

// The events a module receives, taken as they come, until more than `frames` frames have
// arrived: on a busy machine the load that brings them runs late, never short.
std::vector<sdk::ModuleEvent> collect(sdk::ModuleClient& module, size_t frames) {
    std::vector<sdk::ModuleEvent> events;
    size_t seen = 0;
    pumpUntil(
        [&] {
            while (auto event = module.receive(0ms)) {
                seen += event->type == sdk::ModuleEvent::Type::Frame;
                events.push_back(*event);
            }
            return seen > frames;
        },
        kSettle);
    return events;
}

uint32_t counterOf(const sdk::ModuleEvent& frame) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < frame.data.size(); ++i)
        value |= uint32_t{frame.data[i]} << 8 * i;
    return value;
}

TEST(ClientBusFault, ModulesThatDieOrHangWhileTrafficIsDispatchedToThem) {
    FreshFolders folders;
    FaultRig rig({.ownVexor = true, .busLoad = 1000});
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    const std::string tool = rig.core().clientBus().slotPath();

    // Two modules ask for everything; one dies, the other hangs (its mailslot stays but is
    // never read again).
    HandModule dead(folders.runtime(), "Dead", tool);
    HandModule stuck(folders.runtime(), "Stuck", tool);
    for (HandModule* m : {&dead, &stuck}) {
        ASSERT_TRUE(m->registerClient());
        ASSERT_TRUE(m->addFilter(clientbus::kAddRaw, 0xFF));
        ASSERT_TRUE(m->addFilter(clientbus::kAddAddress, 0xFF));
    }
    sdk::ModuleClient good;
    ASSERT_TRUE(good.registerAs("Good"));
    ASSERT_TRUE(good.addRawFilter(kLoadSource));
    pumpFor(200ms);
    dead.die();

    // The well-behaved module gets every load frame, in order, while the tool writes to the
    // other two in vain.
    const int32_t overrunsBefore = rig.core().manager().overruns();
    std::vector<uint32_t> counters;
    for (const auto& event : collect(good, 1000)) {
        if (event.type == sdk::ModuleEvent::Type::Frame && event.sa == kLoadSource)
            counters.push_back(counterOf(event));
    }
    ASSERT_GT(counters.size(), 1000u) << "the load frames did not reach the module";
    size_t gaps = 0;
    for (size_t i = 1; i < counters.size(); ++i) gaps += counters[i] != counters[i - 1] + 1;
    EXPECT_EQ(gaps, 0u) << "frames lost or reordered for a well-behaved module";
    EXPECT_EQ(rig.vexor()->framesDropped(), 0u) << "the tool fell behind the adapter";
    EXPECT_EQ(rig.core().manager().overruns(), overrunsBefore);

    // Both stay registered until they unregister, as the client bus does for a module that
    // closed its mailslot.
    EXPECT_EQ(rig.core().clientBus().clientCount(), 3u);
    const std::string slots = rig.askDebugPort("slots", 3000ms);
    EXPECT_NE(slots.find("Slot: Dead"), std::string::npos) << slots;
    EXPECT_NE(slots.find("Slot: Stuck"), std::string::npos) << slots;
    rig.expectStillAnswering(kVehicleRows);
}

TEST(ClientBusFault, AModuleFloodsTheMailslotWithTenThousandRequests) {
    constexpr uint32_t kFloodDgn = 0x1FF70;  // no simulated node sends it
    constexpr uint8_t kFloodSource = 0x77;
    constexpr int kRequests = 10000;
    FreshFolders folders;
    FaultRig rig({.ownVexor = true});
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    sdk::ModuleClient good;
    ASSERT_TRUE(good.registerAs("Good"));
    ASSERT_TRUE(good.addDgnFilter(kFloodDgn));
    sdk::ModuleClient flooder;
    ASSERT_TRUE(flooder.registerAs("Flooder"));

    // Half of the flood are simulated receptions the good module asked for, numbered; the
    // rest add and remove filters of the flooder's own.
    std::atomic<int> refused{0};
    QElapsedTimer took;
    took.start();
    std::thread flood([&] {
        uint32_t sequence = 0;
        for (int i = 0; i < kRequests; ++i) {
            bool handed = true;
            if (i % 2 == 0) {
                uint8_t data[4];
                for (size_t b = 0; b < 4; ++b) data[b] = static_cast<uint8_t>(sequence >> 8 * b);
                ++sequence;
                handed = flooder.simulateReception(kFloodDgn, kFloodSource, data);
            } else {
                handed =
                    i % 4 == 1 ? flooder.addAddressFilter(0x33) : flooder.removeAddressFilter(0x33);
            }
            if (!handed) ++refused;
        }
    });
    std::vector<uint32_t> received;
    pumpUntil(
        [&] {
            while (auto event = good.receive(0ms)) {
                if (event->type == sdk::ModuleEvent::Type::Message && event->dgn == kFloodDgn &&
                    event->sa == kFloodSource)
                    received.push_back(counterOf(*event));
            }
            return received.size() >= kRequests / 2;
        },
        15000ms);
    flood.join();
    std::printf("%d requests taken in %lld ms\n", kRequests,
                static_cast<long long>(took.elapsed()));

    EXPECT_EQ(refused.load(), 0) << "the tool's mailslot stopped taking requests";
    ASSERT_EQ(received.size(), size_t(kRequests / 2)) << "simulated receptions lost";
    for (uint32_t i = 0; i < received.size(); ++i) {
        ASSERT_EQ(received[i], i) << "out of order at " << i;
    }
    EXPECT_EQ(rig.core().clientBus().clientCount(), 2u);
    rig.expectStillAnswering(kVehicleRows);
}

// A limit on open descriptors for this process, as many systems set it; restored when the
// object goes.
class DescriptorLimit {
  public:
    explicit DescriptorLimit(rlim_t count) {
        getrlimit(RLIMIT_NOFILE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = std::min(count, previous_.rlim_max);
        active_ = setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &previous_); }
    bool active() const { return active_; }

  private:
    rlimit previous_{};
    bool active_ = false;
};

TEST(ClientBusFault, AModuleRegistersTenThousandTimes) {
    constexpr int kRegistrations = 10000;
    FreshFolders folders;
    FaultRig rig({.ownVexor = true, .busLoad = 1000});
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    sdk::ModuleClient good;
    ASSERT_TRUE(good.registerAs("Good"));
    ASSERT_TRUE(good.addRawFilter(kLoadSource));

    // Every registration would cost the tool a descriptor and a thread; with a common limit
    // of 1024 descriptors the loop would leave it none for its own files and connections.
    DescriptorLimit limit(1024);
    ASSERT_TRUE(limit.active());
    HandModule looping(folders.runtime(), "Looping", rig.core().clientBus().slotPath());
    const std::vector<uint8_t> registration = looping.registration();
    int handed = 0;
    for (int i = 0; i < kRegistrations; ++i) handed += looping.send(registration);
    EXPECT_EQ(handed, kRegistrations);
    pumpUntil([&] { return rig.core().clientBus().clientCount() >= ClientBus::kMaxClients; },
              3000ms);
    pumpFor(200ms);
    EXPECT_EQ(rig.core().clientBus().clientCount(), ClientBus::kMaxClients);

    // The module registered before keeps its traffic, and the tool still opens what it needs:
    // the debug port takes a new connection below.
    size_t frames = 0;
    for (const auto& event : collect(good, 200))
        frames += event.type == sdk::ModuleEvent::Type::Frame;
    EXPECT_GT(frames, 200u);
    rig.expectStillAnswering(kVehicleRows);
}

// The bytes of one request as a module would write it, with `dataBytes` of data.
std::vector<uint8_t> requestOf(uint8_t code, uint32_t dgn, size_t dataBytes) {
    std::vector<uint8_t> request{code};
    if (code == clientbus::kSendFrom) request.push_back(0x42);  // the source address
    putU32(request, dgn);
    request.push_back(code == clientbus::kSimulate ? uint8_t{0x77} : uint8_t{6});
    request.push_back(static_cast<uint8_t>(dataBytes));
    request.push_back(static_cast<uint8_t>(dataBytes >> 8));
    for (size_t i = 0; i < dataBytes; ++i) request.push_back(static_cast<uint8_t>(i * 7 + dgn));
    return request;
}

// The hex text of a broadcast announcement of `size` bytes of `dgn`, as its "T" line ends.
std::string announcementOf(uint32_t dgn, size_t size) {
    const size_t packets = (size + 6) / 7;
    char text[32];
    std::snprintf(text, sizeof text, "20%02X%02X%02XFF%02X%02X%02X", unsigned(size & 0xFF),
                  unsigned(size >> 8), unsigned(packets), unsigned(dgn & 0xFF),
                  unsigned((dgn >> 8) & 0xFF), unsigned(dgn >> 16));
    return text;
}

TEST(ClientBusFault, RequestsAtAndOverTheTwoHundredByteLimit) {
    FreshFolders folders;
    FaultRig rig({.ownVexor = true});
    ASSERT_TRUE(rig.framesFlowing(kSettle));
    sdk::ModuleClient good;
    ASSERT_TRUE(good.registerAs("Good"));
    sdk::ModuleClient sender;
    ASSERT_TRUE(sender.registerAs("Sender"));

    struct Case {
        const char* what;
        uint8_t code;
        size_t dataBytes;
        size_t requestBytes;
        bool executed;
    };
    const Case cases[] = {
        {"simulated reception of 199 bytes", clientbus::kSimulate, 191, 199, true},
        {"simulated reception of 200 bytes", clientbus::kSimulate, 192, 200, false},
        {"simulated reception of 4096 bytes", clientbus::kSimulate, 4088, 4096, false},
        {"transmission of 199 bytes", clientbus::kSend, 191, 199, true},
        {"transmission of 200 bytes", clientbus::kSend, 192, 200, false},
        {"transmission from an address, 199 bytes", clientbus::kSendFrom, 190, 199, true},
        {"transmission from an address, 200 bytes", clientbus::kSendFrom, 191, 200, false},
    };
    auto dgnOf = [](size_t index) { return 0x1FF00u + static_cast<uint32_t>(index); };
    for (size_t i = 0; i < std::size(cases); ++i) ASSERT_TRUE(good.addDgnFilter(dgnOf(i)));
    ASSERT_TRUE(good.addDgnFilter(dgnOf(99)));

    // The refusal of an oversized request is a trace line; a debug client watches for them.
    auto watcher = std::make_unique<DebugClient>(rig.debugPort());
    ASSERT_TRUE(watcher->connected());
    pumpFor(100ms);
    size_t refusals = 0;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto request = requestOf(cases[i].code, dgnOf(i), cases[i].dataBytes);
        ASSERT_EQ(request.size(), cases[i].requestBytes) << cases[i].what;
        ASSERT_TRUE(sender.sendRaw(request)) << cases[i].what;
        refusals += !cases[i].executed;
    }
    // A small request behind them is still executed.
    ASSERT_TRUE(sender.simulateReception(dgnOf(99), 0x77, std::vector<uint8_t>{4, 5, 6}));

    std::map<uint32_t, std::vector<uint8_t>> messages;
    pumpUntil(
        [&] {
            while (auto event = good.receive(0ms)) {
                if (event->type == sdk::ModuleEvent::Type::Message) {
                    EXPECT_EQ(messages.count(event->dgn), 0u) << std::hex << event->dgn;
                    messages[event->dgn] = event->data;
                }
            }
            return messages.count(dgnOf(99)) > 0;
        },
        3000ms);
    auto overflows = [&] {
        size_t n = 0;
        for (size_t at = watcher->received.find("Overflow "); at != std::string::npos;
             at = watcher->received.find("Overflow ", at + 1))
            ++n;
        return n;
    };
    watcher->readUntil("never sent", 300ms);
    EXPECT_EQ(overflows(), refusals) << watcher->received.substr(0, 2000);
    watcher.reset();

    const auto toolLines = rig.vexor()->linesFromTool();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        if (c.code == clientbus::kSimulate) {
            EXPECT_EQ(messages.count(dgnOf(i)), c.executed ? 1u : 0u);
            if (c.executed && messages.count(dgnOf(i))) {
                const auto request = requestOf(c.code, dgnOf(i), c.dataBytes);
                EXPECT_EQ(messages[dgnOf(i)],
                          std::vector<uint8_t>(request.end() - long(c.dataBytes), request.end()));
            }
        } else {
            const std::string announcement = announcementOf(dgnOf(i), c.dataBytes);
            const bool sent = std::any_of(toolLines.begin(), toolLines.end(), [&](auto& line) {
                return line.starts_with("T") && line.ends_with(announcement);
            });
            EXPECT_EQ(sent, c.executed);
        }
    }
    EXPECT_EQ(messages[dgnOf(99)], (std::vector<uint8_t>{4, 5, 6}));
    rig.expectStillAnswering(kVehicleRows);
}

}  // namespace
}  // namespace corvane::test
