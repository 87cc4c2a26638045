#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/PseudoTerminal.h"
#include "script/ScriptConditions.h"

namespace corvane {
namespace {

#ifdef CORVANE_SCRIPT_TOOL

struct RunResult {
    std::vector<std::string> lines;
    int exitStatus = -1;
};

// Runs corvane-script with standard input from /dev/null and collects standard output.
RunResult RunTool(const std::string& arguments) {
    RunResult result;
    const std::string command =
        std::string(CORVANE_SCRIPT_TOOL) + " " + arguments + " </dev/null 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        result.lines.push_back(line);
    }
    const int status = pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// What the example water heater check prints when the heater answers.
const std::vector<std::string> kWaterHeaterCheckOutput = {
    "Water heater check",
    "Found ACME Heater 5 at 101",
    "Status received",
    "Water heater check complete",
};

TEST(ScriptRunner, ExampleScriptRunsAgainstTheSimulatedVehicle) {
    const RunResult run = RunTool(std::string(CORVANE_EXAMPLE_SCRIPTS) +
                                  "/water-heater-check.scr --demo --max-seconds 30");
    EXPECT_EQ(run.lines, kWaterHeaterCheckOutput);
    EXPECT_EQ(run.exitStatus, 0);
}

TEST(ScriptRunner, ThermostatExampleModuleShowsItsSetPointsInDegrees) {
    // The vehicle's thermostat holds 22 C; the raw word would read 9440.
    const RunResult run = RunTool(std::string(CORVANE_EXAMPLE_MODULES) +
                                  "/thermostat-check.scp --demo --max-seconds 30");
    EXPECT_EQ(run.lines,
              (std::vector<std::string>{"Coldline thermostat check",
                                        "Heating set point  22.0 C, cooling set point  22.0 C"}));
    EXPECT_EQ(run.exitStatus, 0);
}

TEST(ScriptRunner, ExampleScriptRunsAgainstTheRecordedVehicle) {
    // The recording has the water heater's answers and status in it; the script's own
    // requests go nowhere. The answers to the recorded scan come 2.2 s into the log, after
    // the script's two-second wait: played twice as fast they are in time.
    const RunResult run =
        RunTool(std::string(CORVANE_EXAMPLE_SCRIPTS) + "/water-heater-check.scr --replay " +
                CORVANE_EXAMPLE_LOGS + "/demo-vehicle.log --replay-speed 2 --max-seconds 40");
    EXPECT_EQ(run.lines, kWaterHeaterCheckOutput);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(RunTool("x.scr --replay /nonexistent/log.log").exitStatus, 3);
    EXPECT_EQ(RunTool("x.scr --replay-speed fast").exitStatus, 2);
    EXPECT_EQ(RunTool("x.scr --replay-speed inf").exitStatus, 2);
}

TEST(ScriptRunner, MissingFilesAndRunawayScriptsFail) {
    EXPECT_EQ(RunTool("/nonexistent/script.scr").exitStatus, 2);
    char path[] = "/tmp/corvane-runaway-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string text = "\"start\nIDLE\n";
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    const RunResult run = RunTool(std::string(path) + " --max-seconds 1");
    std::remove(path);
    EXPECT_EQ(run.lines, std::vector<std::string>{"start"});
    EXPECT_EQ(run.exitStatus, 1);
}

struct SpawnResult {
    std::string out;
    std::string err;
    int exitStatus = -1;  // -1: killed after the time allowed
    std::chrono::steady_clock::duration took{};
};

// Runs corvane-script as a child with `arguments` and standard input `input`, collecting both
// outputs. When `prompt` appears on standard error, `answer` is written to `terminal`. With
// `errTerminal`, standard error is that terminal, as a user's is. A child still running after
// 20 s is killed.
SpawnResult Spawn(const std::vector<std::string>& arguments, int input,
                  PseudoTerminal* terminal = nullptr, const std::string& prompt = {},
                  const std::string& answer = {}, PseudoTerminal* errTerminal = nullptr) {
    SpawnResult result;
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return result;
    const int errFd =
        errTerminal != nullptr ? open(errTerminal->slavePath().c_str(), O_RDWR | O_NOCTTY) : err[1];
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(input, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
        std::vector<char*> argv{const_cast<char*>(CORVANE_SCRIPT_TOOL)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(CORVANE_SCRIPT_TOOL, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (errTerminal != nullptr) close(errFd);
    const auto readTerminal = [&] {
        uint8_t buffer[512];
        for (std::ptrdiff_t n; errTerminal != nullptr && (n = errTerminal->read(buffer)) > 0;)
            result.err.append(reinterpret_cast<const char*>(buffer), size_t(n));
    };
    bool answered = prompt.empty();
    std::vector<pollfd> open{{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    while (!open.empty() && std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
        if (poll(open.data(), open.size(), 100) <= 0) continue;
        for (size_t i = open.size(); i-- > 0;) {
            if (open[i].revents == 0) continue;
            char buffer[512];
            const ssize_t n = read(open[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(open[i].fd);
                open.erase(open.begin() + static_cast<long>(i));
                continue;
            }
            (open[i].fd == out[0] ? result.out : result.err).append(buffer, size_t(n));
        }
        readTerminal();
        if (!answered && result.err.find(prompt) != std::string::npos) {
            answered = terminal->write(answer, 1000) == static_cast<std::ptrdiff_t>(answer.size());
        }
    }
    for (const auto& stream : open) close(stream.fd);
    if (!open.empty()) kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    readTerminal();
    result.took = std::chrono::steady_clock::now() - started;
    if (open.empty() && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

// A temporary folder for the scripts of one test.
class ScriptFolder {
  public:
    ScriptFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("corvane-runner-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScriptFolder() { std::filesystem::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return (path_ / name).string();
    }
    std::filesystem::path path() const { return path_; }

  private:
    std::filesystem::path path_;
};

TEST(ScriptRunner, WaitsForTheTerminalEndAtTheTimeLimitOrOnAnAnswer) {
    ScriptFolder folder;
    struct Case {
        std::string command;
        std::string prompt;
        std::string answer;  // empty: the terminal never answers
        std::string out;
        int exitStatus;
    };
    const Case cases[] = {
        {"PAUSE", "Paused", "", "before\n", 1},
        {"ASKFORPARAMS", "Parameters [", "", "before\n", 1},
        {"MENU AAA \"first\" BBB \"second\"", "Choice [1]", "", "before\n", 1},
        {"PAUSE", "Paused", "\r", "before\nafter \n", 0},
        {"ASKFORPARAMS", "Parameters [", "x y\r", "before\nafter X Y\n", 0},
        {"MENU AAA \"first\" BBB \"second\"", "Choice [1]", "2\r", "before\nafter  BBB\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command + " answered with " + c.answer);
        const std::string script =
            folder.Write("wait.scr", "\"before\n" + c.command + "\n\"after [PARAMS]\n");
        PseudoTerminal terminal;
        ASSERT_TRUE(terminal.open());
        const int input = open(terminal.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(input, 0);
        const SpawnResult run = c.answer.empty() ? Spawn({script, "--max-seconds", "1"}, input)
                                                 : Spawn({script, "--max-seconds", "30"}, input,
                                                         &terminal, c.prompt, c.answer);
        close(input);
        EXPECT_NE(run.err.find(c.prompt), std::string::npos) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.exitStatus, c.exitStatus);
        // One second allowed: anything near the kill at 20 s means it waited on.
        EXPECT_LT(run.took, std::chrono::seconds(10));
    }
}

TEST(ScriptRunner, SaveWritesTheLogOrSaysWhyNot) {
    ScriptFolder folder;
    const std::string saved = (folder.path() / "saved.log").string();
    const std::string unwritable = (folder.path() / "missing" / "log.txt").string();
    const std::string script =
        folder.Write("save.scr", "\"one\n\"two\nSAVE " + saved + "\nSAVE " + unwritable + "\n");
    const int input = open("/dev/null", O_RDONLY);
    const SpawnResult run = Spawn({script, "--max-seconds", "30"}, input);
    close(input);
    EXPECT_EQ(run.exitStatus, 0);
    std::ostringstream text;
    text << std::ifstream(saved, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), "one\r\ntwo\r\n");
    EXPECT_NE(run.err.find("(" + unwritable + ")"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(unwritable));
}

// A replay that takes seconds, with standard error on a terminal and the script's lines in a
// pipe: the progress bar is drawn, and every message starts a line of its own, the bar wiped
// before it.
TEST(ScriptRunner, TheProgressBarGivesWayToMessages) {
    ScriptFolder folder;
    std::string log;
    for (int i = 0; i < 50; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "(%d.%06d) can0 19FFD442#01\n", 1'700'000'000 + i / 20,
                      i % 20 * 50'000);
        log += line;
    }
    const std::string logPath = folder.Write("slow.log", log);
    const std::string script = folder.Write("wait.scr", "\"start\nWAIT 5\n\"done\n");
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.open());
    const int input = open("/dev/null", O_RDONLY);
    const SpawnResult run = Spawn({script, "--replay", logPath, "--max-seconds", "30"}, input,
                                  nullptr, {}, {}, &terminal);
    close(input);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "start\ndone\n");
    EXPECT_NE(run.err.find("% "), std::string::npos) << run.err;
    // Each status line and the replay's own message: at the start of a line, or just after
    // the bar was wiped.
    EXPECT_NE(run.err.find("Replay finished: 50 frames played"), std::string::npos) << run.err;
    for (const char* message : {"status: ", "Replay: "}) {
        for (size_t at = run.err.find(message); at != std::string::npos;
             at = run.err.find(message, at + 1)) {
            EXPECT_TRUE(at == 0 || run.err[at - 1] == '\n' ||
                        (at >= 4 && run.err.compare(at - 4, 4, "\r\033[K") == 0))
                << message << " at " << at << " in " << run.err;
        }
    }
}

TEST(ScriptRunner, HelpVersionAndWrongCommandLines) {
    const int input = open("/dev/null", O_RDONLY);
    const SpawnResult help = Spawn({"--help"}, input);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("usage: corvane-script", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--replay LOG"), std::string::npos);
    const SpawnResult version = Spawn({"--version"}, input);
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_NE(version.out.find(kScriptProgramVersion), std::string::npos) << version.out;
    // Refused with the usage, not read as far as they go: an unreadable limit was no limit.
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"x.scr", "--bogus"},
                                                  {"x.scr", "--max-seconds"},
                                                  {},
                                                  {"x.scr", "--max-seconds", "abc"},
                                                  {"x.scr", "--max-seconds", "-5"},
                                                  {"x.scr", "--max-seconds", "3O"},
                                                  {"x.scr", "--max-seconds", ""},
                                                  {"x.scr", "--target", "ZZ"},
                                                  {"x.scr", "--target", "1FF"},
                                                  {"x.scr", "--target", "4G"},
                                                  {"x.scr", "--target", "-1"}}) {
        const SpawnResult run = Spawn(wrong, input);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find("usage: corvane-script"), std::string::npos) << run.err;
    }
    close(input);
    // A target that is taken is the one the script works on.
    ScriptFolder folder;
    const std::string script = folder.Write("target.scr", "\"T=[TARGET]\n\n");
    for (const auto& [given, shown] :
         {std::pair<std::string, std::string>{"4a", "T= 74"}, {"FF", "T=255"}, {"0", "T=  0"}}) {
        const RunResult run = RunTool(script + " --target " + given + " --max-seconds 30");
        EXPECT_EQ(run.lines, std::vector<std::string>{shown}) << given;
        EXPECT_EQ(run.exitStatus, 0) << given;
    }
}

#endif

}  // namespace
}  // namespace corvane
