#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/ProgramVersion.h"

extern char** environ;

namespace corvane {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;  // -1: killed at the deadline
    std::string out;
    std::string err;
};

std::string contents(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a program with its output in files (no pipe to fill up); a program that keeps running
// is killed after a generous deadline.
Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const fs::path& folder) {
    const fs::path out = folder / "out.txt";
    const fs::path err = folder / "err.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    Outcome run;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (status != -1 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = contents(out);
    run.err = contents(err);
    return run;
}

std::vector<std::string> programs() {
    std::vector<std::string> paths;
    std::stringstream list(CORVANE_PROGRAMS);
    for (std::string path; std::getline(list, path, ':');) paths.push_back(path);
    return paths;
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

TEST(ProgramCommandLine, EveryProgramAnswersHelpVersionAndRefusesUnknownOptions) {
    const fs::path folder = fs::temp_directory_path() / ("corvane-cli-" + std::to_string(getpid()));
    fs::create_directories(folder / "run");
    fs::permissions(folder / "run", fs::perms::owner_all);
    setenv("CORVANE_CONFIG_DIR", folder.c_str(), 1);
    setenv("CORVANE_RUNTIME_DIR", (folder / "run").c_str(), 1);

    struct Case {
        std::vector<std::string> arguments;
        int status;
        bool usageOnOut;  // the usage on standard output (asked for)
        bool usageOnErr;  // the usage on standard error (a mistake)
        bool version;
    };
    const Case cases[] = {
        {{"--help"}, 0, true, false, false},
        {{"--version"}, 0, false, false, true},
        {{"--no-such-option"}, 2, false, true, false},
        {{"--help", "--no-such-option"}, 0, true, false, false},
    };
    const std::vector<std::string> paths = programs();
    // corvane itself is built only with the window toolkit.
    ASSERT_GE(paths.size(), 4u) << CORVANE_PROGRAMS;
    for (const std::string& path : paths) {
        const std::string name = fs::path(path).filename().string();
        for (const Case& c : cases) {
            const std::string label = name + " " + c.arguments.front();
            const Outcome run = runProgram(path, c.arguments, folder);
            EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
            EXPECT_EQ(startsWith(run.out, "usage: " + name), c.usageOnOut) << label << run.out;
            EXPECT_EQ(run.err.find("usage: " + name) != std::string::npos, c.usageOnErr)
                << label << run.err;
            if (c.usageOnErr) {
                // Says what was wrong first.
                EXPECT_TRUE(startsWith(run.err, name + ": ")) << label << run.err;
                EXPECT_NE(run.err.find("--no-such-option"), std::string::npos) << label;
            }
            if (c.version) {
                EXPECT_TRUE(startsWith(run.out, name + " " + ProgramVersion::text() + "\n"))
                    << label << run.out;
            }
        }
    }
    fs::remove_all(folder);
}

// corvane's own command line, beyond the standard words. With the instance lock held here, a
// command line it takes ends at the single-instance check ("already running", status 0), before
// anything starts; one it refuses ends before that, with the usage and status 2.
TEST(ProgramCommandLine, CorvaneTakesNoUpdatesInAnyCaseAndRecordsOnlyHeadless) {
    std::string corvane;
    for (const std::string& path : programs())
        if (fs::path(path).filename() == "corvane") corvane = path;
    if (corvane.empty()) GTEST_SKIP() << "corvane is built only with the window toolkit";
    const fs::path folder =
        fs::temp_directory_path() / ("corvane-cli-lock-" + std::to_string(getpid()));
    fs::create_directories(folder / "run");
    fs::permissions(folder / "run", fs::perms::owner_all);
    setenv("CORVANE_CONFIG_DIR", folder.c_str(), 1);
    setenv("CORVANE_RUNTIME_DIR", (folder / "run").c_str(), 1);
    const int lock =
        open((folder / "run" / "corvane.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);

    struct Case {
        std::vector<std::string> arguments;
        bool taken;
        std::string refusal;  // what a refusal names
    };
    const Case cases[] = {
        {{"-NOUPDATES"}, true, ""},  // the Windows-style switch
        {{"--headless", "--record", folder.string()}, true, ""},
        {{"--record", folder.string()}, false, "--record"},
        {{"--demo", "--record", folder.string(), "-NOUPDATES"}, false, "--record"},
    };
    for (const Case& c : cases) {
        std::string label;
        for (const std::string& a : c.arguments) label += a + " ";
        const Outcome run = runProgram(corvane, c.arguments, folder);
        if (c.taken) {
            EXPECT_EQ(run.status, 0) << label << run.err;
            EXPECT_NE(run.err.find("already running"), std::string::npos) << label << run.err;
        } else {
            EXPECT_EQ(run.status, 2) << label << run.err;
            EXPECT_TRUE(startsWith(run.err, "corvane: " + c.refusal)) << label << run.err;
            EXPECT_NE(run.err.find("usage: corvane"), std::string::npos) << label << run.err;
        }
    }
    close(lock);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace corvane
