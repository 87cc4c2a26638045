#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "debugport/DebugPort.h"
#include "debugport/FunctionCommand.h"
#include "platform/MemorySettingsStore.h"
#include "platform/TcpStream.h"
#include "tests/support/CapturingTrace.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using test::waitUntil;

using namespace std::chrono_literals;

// Reads from the stream until `expected` has arrived or two seconds have passed.
std::string readUntil(TcpStream& stream, const std::string& expected) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + 2s;
    std::array<uint8_t, 512> buffer;
    while (text.find(expected) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        if (!stream.waitReadable(50)) continue;
        long n = stream.receive(buffer);
        if (n <= 0) break;
        text.append(reinterpret_cast<const char*>(buffer.data()), size_t(n));
    }
    return text;
}

// Whatever arrives within a short quiet period.
std::string drain(TcpStream& stream, int quietMs = 150) {
    std::string text;
    std::array<uint8_t, 512> buffer;
    while (stream.waitReadable(quietMs)) {
        long n = stream.receive(buffer);
        if (n <= 0) break;
        text.append(reinterpret_cast<const char*>(buffer.data()), size_t(n));
    }
    return text;
}

class DebugPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.writeInteger("Corvane", "DebugPortEnabled", 1);
        port = std::make_unique<DebugPort>(settings, 0);
        port->commands().add("devs", std::make_unique<FunctionCommand>([this](const std::string&) {
                                 ++devsRuns;
                                 return std::string("Nodes\n\r42 Tindrel\n\rDevices\n\r");
                             }));
        port->commands().add("folder", std::make_unique<FunctionCommand>([](const std::string& p) {
                                 return "folder=[" + p + "]\n\r";
                             }));
        ASSERT_TRUE(port->start());
        ASSERT_NE(port->port(), 0);
    }

    TcpStream connect() {
        TcpStream s = TcpStream::connectTo("127.0.0.1", port->port());
        EXPECT_TRUE(s.valid());
        EXPECT_TRUE(waitUntil([&] { return port->clientConnected(); }));
        return s;
    }

    MemorySettingsStore settings;
    std::unique_ptr<DebugPort> port;
    std::atomic<int> devsRuns{0};
};

TEST_F(DebugPortTest, AnswersCommandLinesWithTheirReports) {
    TcpStream client = connect();
    ASSERT_TRUE(client.send("devs\r\n"));
    EXPECT_EQ(readUntil(client, "Devices\n\r"), "Nodes\n\r42 Tindrel\n\rDevices\n\r");
    // The line feed after the carriage return ended an empty line: nothing more comes.
    EXPECT_EQ(drain(client), "");
    EXPECT_EQ(devsRuns, 1);

    struct Case {
        std::string typed;
        std::string reply;
    } cases[] = {
        {"?\r\n", "Available Commands\n\rdevs\n\rfolder\n\r"},
        {"?ignored rest\n", "Available Commands\n\rdevs\n\rfolder\n\r"},
        {"DEVS\r\n", "Unrecognized command: DEVS\n\r"},
        {"devs now\r\n", "Nodes\n\r42 Tindrel\n\rDevices\n\r"},
        {"folder C:\\Modules\r\n", "folder=[C:\\Modules]\n\r"},
        {"folder\r\n", "folder=[]\n\r"},
        {"folder  two  blanks\n", "folder=[ two  blanks]\n\r"},
        {"nothing here\n", "Unrecognized command: nothing here\n\r"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(client.send(c.typed));
        EXPECT_EQ(readUntil(client, c.reply), c.reply) << c.typed;
        EXPECT_EQ(drain(client, 50), "") << c.typed;
    }
}

TEST_F(DebugPortTest, CommandSplitOverTwoSendsRunsOnceAtTheLineEnd) {
    TcpStream client = connect();
    ASSERT_TRUE(client.send("de"));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(devsRuns, 0);
    ASSERT_TRUE(client.send("vs\r\n"));
    EXPECT_EQ(readUntil(client, "Devices\n\r"), "Nodes\n\r42 Tindrel\n\rDevices\n\r");
    EXPECT_EQ(devsRuns, 1);
}

TEST_F(DebugPortTest, TracesReachOnlyAConnectedClientAndReconnectsAreServed) {
    DebugPrint("before anyone %d\r\n", 1);
    {
        TcpStream first = connect();
        DebugPrint("trace %d\r\n", 7);
        EXPECT_EQ(readUntil(first, "trace 7\r\n"), "trace 7\r\n");
    }
    ASSERT_TRUE(waitUntil([&] { return !port->clientConnected(); }));
    DebugPrint("while nobody listens\r\n");

    TcpStream second = connect();
    ASSERT_TRUE(second.send("devs\n"));
    std::string text = readUntil(second, "Devices\n\r");
    EXPECT_EQ(text, "Nodes\n\r42 Tindrel\n\rDevices\n\r");
    DebugPrint("second %s\r\n", "client");
    EXPECT_EQ(readUntil(second, "client\r\n"), "second client\r\n");
}

TEST_F(DebugPortTest, AClientThatVanishesDoesNotCloseThePort) {
    {
        TcpStream first = connect();
        first.close();
    }
    // Traces keep coming while the vanished client is being noticed.
    for (int i = 0; i < 50 && port->clientConnected(); ++i) {
        DebugPrint("busy %d\r\n", i);
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(waitUntil([&] { return !port->clientConnected(); }));
    TcpStream second = connect();
    ASSERT_TRUE(second.send("devs\n"));
    EXPECT_EQ(readUntil(second, "Devices\n\r"), "Nodes\n\r42 Tindrel\n\rDevices\n\r");
}

TEST_F(DebugPortTest, AClientThatTakesATrickleHoldsUpTracesForASecondAtMost) {
    // A client with a small receive buffer that reads in helpings ten times a second: a
    // report of 16 MB would take it minutes.
    const std::string report(16 << 20, 'r');
    port->commands().add(
        "big", std::make_unique<FunctionCommand>([&report](const std::string&) { return report; }));
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port->port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
    TcpStream client(fd);
    ASSERT_TRUE(waitUntil([&] { return port->clientConnected(); }));
    std::atomic<bool> reading{true};
    size_t taken = 0;
    std::thread reader([&] {
        std::vector<uint8_t> helping(64 * 1024);
        while (reading) {
            std::this_thread::sleep_for(100ms);
            if (!client.waitReadable(0)) continue;
            const long n = client.receive(helping);
            if (n <= 0) return;
            taken += size_t(n);
        }
    });
    ASSERT_TRUE(client.send("big\n"));
    std::this_thread::sleep_for(200ms);

    // A trace from another thread waits while the report goes out, but not for long: the
    // client is let go instead.
    const auto start = std::chrono::steady_clock::now();
    DebugPrint("a trace\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
    EXPECT_TRUE(waitUntil([&] { return !port->clientConnected(); }));
    reading = false;
    reader.join();
    EXPECT_LT(taken, report.size());

    TcpStream second = connect();
    ASSERT_TRUE(second.send("devs\n"));
    EXPECT_EQ(readUntil(second, "Devices\n\r"), "Nodes\n\r42 Tindrel\n\rDevices\n\r");
}

// Another local user may reach the loopback port too, and must not get to type commands.
TEST_F(DebugPortTest, AnotherUsersConnectionIsClosedUnserved) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can connect as another user";
    std::atomic<int> marks{0};
    port->commands().add("mark", std::make_unique<FunctionCommand>([&](const std::string&) {
                             ++marks;
                             return std::string("marked\n\r");
                         }));
    test::CapturingTrace trace;
    const uint16_t listening = port->port();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls from here on: the parent has threads.
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(listening);
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) _exit(11);
        const char line[] = "mark\n";
        send(fd, line, sizeof line - 1, MSG_NOSIGNAL);
        timeval limit{20, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        char byte = 0;
        const ssize_t n = recv(fd, &byte, 1, 0);
        // Closed without a word: the end of the stream, or a reset for the unread line.
        _exit(n == 0 || (n < 0 && errno == ECONNRESET) ? 0 : n > 0 ? 12 : 13);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(trace.contains("connection from user 65534 refused")) << trace.all();

    // The port goes on serving its own user.
    TcpStream client = connect();
    ASSERT_TRUE(client.send("mark\n"));
    EXPECT_EQ(readUntil(client, "marked\n\r"), "marked\n\r");
    EXPECT_EQ(marks, 1);
}

TEST_F(DebugPortTest, ListensOnLoopbackOnly) {
    // Bound to 127.0.0.1 itself: even another loopback address is refused.
    EXPECT_FALSE(TcpStream::connectTo("127.0.0.2", port->port()).valid());
    // And every address of this machine's other interfaces.
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN];
        auto* in = reinterpret_cast<sockaddr_in*>(a->ifa_addr);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        if (std::string(text).rfind("127.", 0) == 0) continue;
        EXPECT_FALSE(TcpStream::connectTo(text, port->port()).valid()) << text;
    }
    freeifaddrs(list);
    EXPECT_TRUE(TcpStream::connectTo("127.0.0.1", port->port()).valid());
}

TEST_F(DebugPortTest, StopEndsAListenerWaitingForAClient) {
    auto started = std::chrono::steady_clock::now();
    port->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);
    EXPECT_FALSE(port->listening());
    EXPECT_FALSE(TcpStream::connectTo("127.0.0.1", port->port()).valid());
    EXPECT_EQ(port->commands().find("devs"), nullptr);
}

TEST_F(DebugPortTest, StopEndsAListenerServingAnIdleClient) {
    TcpStream client = connect();
    auto started = std::chrono::steady_clock::now();
    port->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);
    EXPECT_FALSE(port->listening());
    std::array<uint8_t, 16> buffer;
    ASSERT_TRUE(client.waitReadable(1000));
    EXPECT_EQ(client.receive(buffer), 0);  // the port closed its side
}

TEST(DebugPortStart, OpensOnlyWhenWanted) {
    MemorySettingsStore settings;
    DebugPort off(settings, 0);
    EXPECT_FALSE(off.enabledSetting());
    EXPECT_FALSE(off.start());
    EXPECT_FALSE(off.listening());

    DebugPort once(settings, 0);
    EXPECT_TRUE(once.start(true));  // --debug-port
    EXPECT_TRUE(once.listening());
    EXPECT_FALSE(once.start(true));  // the listener starts once per run

    settings.writeInteger("Corvane", "DebugPortEnabled", 1);
    DebugPort wanted(settings, 0);
    EXPECT_TRUE(wanted.enabledSetting());
    EXPECT_TRUE(wanted.start());

    // A port already in use leaves the port closed, and says so.
    test::CapturingTrace trace;
    DebugPort clash(settings, wanted.port());
    EXPECT_FALSE(clash.start());
    EXPECT_FALSE(clash.listening());
    EXPECT_TRUE(trace.contains("cannot be opened (bind: Address already in use)")) << trace.all();
}

TEST(DebugPortCommand, BaseCommandEchoesItsParameter) {
    struct Collect final : DebugSink {
        std::string text;
        void write(std::string_view t) override { text += t; }
    } out;
    Command base;
    base.Execute("abc", out);
    EXPECT_EQ(out.text, "param=abc\n");
}

}  // namespace
}  // namespace corvane
