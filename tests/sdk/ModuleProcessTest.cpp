#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/sdk/BusFixture.h"
#include "tests/support/WaitUntil.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

// rvc-watch as a real module process, started the way the tool starts modules ("SA DSA").
class ModuleProcessTest : public test::BusFixture {
  protected:
    void start(const char* sa, const char* dsa) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl(RVC_WATCH_PATH, "rvc-watch", sa, dsa, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        output = fds[0];
    }
    // Output up to the line containing `text`, within three seconds.
    std::string readUntil(const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + 3s;
        while (seen.find(text) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(output, &set);
            timeval wait{0, 50000};
            if (select(output + 1, &set, nullptr, nullptr, &wait) <= 0) continue;
            char buffer[256];
            ssize_t n = read(output, buffer, sizeof buffer);
            if (n <= 0) break;
            seen.append(buffer, size_t(n));
        }
        return seen;
    }
    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        if (output >= 0) close(output);
        BusFixture::TearDown();
    }
    pid_t child = -1;
    int output = -1;
    std::string seen;
};

TEST_F(ModuleProcessTest, RvcWatchPrintsTheMessagesOfItsAddressUntilInterrupted) {
    start("66", "101");  // 0x42, DSA 0x65
    ASSERT_NE(readUntil("watching").find("watching SA 42 (DSA 65)"), std::string::npos);
    EXPECT_TRUE(
        test::waitUntil([&] { return bus->report().find("Address: 42") != std::string::npos; }));
    ASSERT_NE(bus->report().find("Slot: rvc-watch."), std::string::npos);

    const uint8_t other[] = {9};
    manager.intake(makeFrame(CanIdentifier{6, 0x1FFB7, 0x43, 0}, 0, 1, other));
    const uint8_t data[] = {0x01, 0x02, 0xA0};
    manager.intake(makeFrame(CanIdentifier{6, 0x1FECA, 0x42, 0}, 0, 3, data));
    EXPECT_NE(readUntil("1FECA 42 01 02 A0\n").find("1FECA 42 01 02 A0\n"), std::string::npos);
    EXPECT_EQ(seen.find(" 43 "), std::string::npos);

    // Ctrl-C: the module unregisters and ends.
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    child = -1;
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(test::waitUntil([&] { return bus->clientCount() == 0; }));
}

TEST_F(ModuleProcessTest, RvcWatchRefusesBadArguments) {
    start("300", "1");
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    child = -1;
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace corvane
