#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <string>
#include <vector>

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
    EXPECT_EQ(RunTool("x.scr --replay-speed fast").exitStatus, 64);
    EXPECT_EQ(RunTool("x.scr --replay-speed inf").exitStatus, 64);
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

#endif

}  // namespace
}  // namespace corvane
