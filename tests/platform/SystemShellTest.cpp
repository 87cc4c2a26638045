#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ProcessTable.h"
#include "platform/SystemShell.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

TEST(SystemShellTest, ParameterTextsBecomeWords) {
    struct Case {
        std::string text;
        std::vector<std::string> words;
    } cases[] = {
        {" 66 64 ", {"66", "64"}},
        {"-v 66 64 ", {"-v", "66", "64"}},
        {"255 255", {"255", "255"}},
        {"", {}},
        {"   ", {}},
        {"a  b", {"a", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SystemShell::splitWords(c.text), c.words) << c.text;
}

// A real program started through the shell, found in /proc with its command line, then
// stopped by image name together with its child.
TEST(SystemShellTest, StartsProgramsAndKillsThemByImageName) {
    char pattern[] = "/tmp/corvane-shell-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string image = "shelltest-" + std::to_string(::getpid());
    const std::string program = folder + "/" + image;
    std::filesystem::copy_file("/bin/sleep", program);

    SystemShell shell;
    EXPECT_FALSE(shell.open(folder + "/missing", "1"));
    EXPECT_FALSE(shell.open("corvane-no-such-program-anywhere", ""));
    ASSERT_TRUE(shell.open(program, " 30 "));

    pid_t pid = 0;
    for (int i = 0; i < 300 && pid == 0; ++i) {
        for (const auto& p : ProcessTable::snapshot()) {
            // Right after the start the command line may still be empty: look again then.
            if (p.image == image && !p.args.empty()) {
                pid = p.pid;
                EXPECT_EQ(p.args, (std::vector<std::string>{program, "30"}));
                EXPECT_EQ(p.parent, ::getpid());
            }
        }
        if (pid == 0) std::this_thread::sleep_for(10ms);
    }
    ASSERT_NE(pid, 0);
    EXPECT_TRUE(ProcessTable::isAlive(pid));
    shell.killImage("/some/other/folder/" + image);  // a path counts by its last component
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
        gone = !ProcessTable::isAlive(pid);
        if (!gone) std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(gone);
    EXPECT_TRUE(ProcessTable::isAlive(::getpid()));  // never itself
    std::filesystem::remove_all(folder);
}

// Processes that end while the table is read (other tests, other programs) are left out, never
// an error: short-lived children come and go beside a hundred snapshots.
TEST(ProcessTableTest, ProcessesEndingDuringASnapshotAreSkipped) {
    std::atomic<bool> done{false};
    std::thread churn([&] {
        while (!done) {
            pid_t child = ::fork();
            if (child == 0) ::_exit(0);
            if (child > 0) ::waitpid(child, nullptr, 0);
        }
    });
    bool foundSelfEveryTime = true;
    for (int i = 0; i < 100; ++i) {
        bool self = false;
        EXPECT_NO_THROW(for (const auto& p
                             : ProcessTable::snapshot()) self = self || p.pid == ::getpid());
        foundSelfEveryTime = foundSelfEveryTime && self;
    }
    done = true;
    churn.join();
    EXPECT_TRUE(foundSelfEveryTime);
}

}  // namespace
}  // namespace corvane
