#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

const std::string kTool = CORVANE_DECODE_TOOL;
const std::string kDemoLog = std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log";
const std::string kSampleCatalogue =
    std::string(CORVANE_DECODE_TEST_DATA) + "/sample-catalogue.yml";

struct ToolRun {
    int status = -1;
    std::vector<std::string> lines;
};

// Runs the program to its end through the shell; standard error is discarded.
ToolRun run(const std::string& arguments) {
    ToolRun r;
    FILE* pipe = ::popen((kTool + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (!pipe) return r;
    std::string line;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        r.lines.push_back(line);
        line.clear();
    }
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(DecodeTool, JsonLinesFromTheDemoLog) {
    const ToolRun json = run("--json " + kDemoLog);
    ASSERT_EQ(json.status, 0);
    ASSERT_GT(json.lines.size(), 1000u);
    double lastTime = 0;
    size_t productIds = 0;
    size_t sources = 0;
    for (const std::string& line : json.lines) {
        const Json j = Json::parse(line);  // throws (and fails the test) on a bad line
        for (const char* key :
             {"timestamp", "source", "dgn", "name", "instance", "fields", "data"}) {
            ASSERT_TRUE(j.contains(key)) << key << " missing from " << line;
        }
        EXPECT_GE(j["timestamp"].get<double>(), lastTime);
        lastTime = j["timestamp"].get<double>();
        if (j["name"] == "PRODUCT_ID") {
            // Reassembled from its transfer: more than one frame of data, and a make.
            ++productIds;
            EXPECT_GT(j["data"].get<std::string>().size(), 16u);
            EXPECT_TRUE(j["fields"]["make"].is_string()) << line;
        }
        if (j["name"] == "DC_SOURCE_STATUS_1") {
            ++sources;
            EXPECT_EQ(j["dgn"], "1FFFD");
            EXPECT_TRUE(j["fields"]["dc_voltage"].is_number()) << line;
            EXPECT_TRUE(j["instance"].is_number()) << line;
        }
    }
    EXPECT_GT(productIds, 0u);
    EXPECT_GT(sources, 0u);
    EXPECT_DOUBLE_EQ(Json::parse(json.lines.front())["timestamp"].get<double>(), 1765000000.04);

    // The text form gives one line for each message too.
    const ToolRun text = run(kDemoLog);
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.lines.size(), json.lines.size());
}

TEST(DecodeTool, UserCatalogueOverridesAMessage) {
    const ToolRun r = run("--json --catalogue " + kSampleCatalogue + " " + kDemoLog);
    ASSERT_EQ(r.status, 0);
    size_t tanks = 0;
    for (const std::string& line : r.lines) {
        const Json j = Json::parse(line);
        if (j["name"] != "TANK_STATUS") continue;
        ++tanks;
        EXPECT_TRUE(j["fields"].contains("level")) << line;
        EXPECT_FALSE(j["fields"].contains("relative_level")) << line;
    }
    EXPECT_GT(tanks, 0u);
}

// Text off the bus that is not UTF-8 still gives a JSON line, and the program goes on.
TEST(DecodeTool, JsonOfTextThatIsNotUtf8) {
    char path[] = "/tmp/corvane-decode-text-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string log =
        "(1700000000.000000) can0 197EFF42#41C3284207444546\n"
        "(1700000000.001000) can0 19FFFD42#01640C01C0733577\n";
    ASSERT_EQ(::write(fd, log.data(), log.size()), static_cast<ssize_t>(log.size()));
    ::close(fd);
    const ToolRun r = run(std::string("--json ") + path);
    ::unlink(path);
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(Json::parse(r.lines[0])["fields"]["text"],
              "A\xC3\x83(B\xEF\xBF\xBD"
              "DEF");
    EXPECT_EQ(Json::parse(r.lines[1])["name"], "DC_SOURCE_STATUS_1");
}

TEST(DecodeTool, CommandLineErrors) {
    EXPECT_EQ(run("--frobnicate").status, 2);
    EXPECT_EQ(run("--catalogue").status, 2);
    EXPECT_EQ(run("--catalogue /nonexistent.yml " + kDemoLog).status, 2);
    EXPECT_EQ(run("--demo " + kDemoLog).status, 2);
    EXPECT_EQ(run("/nonexistent/log").status, 3);
    const ToolRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    ASSERT_FALSE(help.lines.empty());
    EXPECT_EQ(help.lines.front().rfind("usage: corvane-decode", 0), 0u);
    const ToolRun version = run("--version");
    EXPECT_EQ(version.status, 0);
    ASSERT_EQ(version.lines.size(), 1u);
    EXPECT_EQ(version.lines.front().rfind("corvane-decode ", 0), 0u);
}

// The simulated vehicle behind its emulated adapter: decoded lines arrive live, and the
// program ends cleanly when told to.
TEST(DecodeTool, DecodesTheLiveDemoVehicle) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(kTool.c_str(), kTool.c_str(), "--demo", "--json", "--max-seconds", "120",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* stream = ::fdopen(out[0], "r");
    ASSERT_NE(stream, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool sawSource = false;
    char buffer[4096];
    while (!sawSource && std::chrono::steady_clock::now() < deadline &&
           std::fgets(buffer, sizeof buffer, stream)) {
        const Json j = Json::parse(buffer);
        sawSource = j["name"] == "DC_SOURCE_STATUS_1" && j["fields"]["dc_voltage"].is_number();
    }
    ::kill(pid, SIGTERM);
    while (std::fgets(buffer, sizeof buffer, stream)) {
    }
    std::fclose(stream);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(sawSource);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
