#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace {

using Json = nlohmann::json;

const std::string kTool = CORVANE_REPORT_TOOL;
const std::string kDemoLog = std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log";
const std::string kSchema = CORVANE_REPORT_SCHEMA;

struct ToolRun {
    int status = -1;
    std::string out;
};

// Runs the program to its end through the shell; standard error is discarded.
ToolRun run(const std::string& arguments) {
    ToolRun r;
    FILE* pipe = ::popen((kTool + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (!pipe) return r;
    for (int c; (c = std::fgetc(pipe)) != EOF;) r.out += static_cast<char>(c);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// A fresh folder under /tmp, removed with what is in it.
struct Folder {
    Folder() : path(::mkdtemp(name) ? name : "") {}
    ~Folder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    char name[32] = "/tmp/corvane-report-XXXXXX";
    std::string path;
};

// The JSON in `jsonPath` checked against the report's schema by python3-jsonschema; the
// problem found, or "" when it validates.
std::string schemaProblem(const std::string& jsonPath) {
    const std::string script =
        "import json, sys\n"
        "import jsonschema\n"
        "schema = json.load(open(sys.argv[1]))\n"
        "jsonschema.Draft7Validator.check_schema(schema)\n"
        "jsonschema.validate(json.load(open(sys.argv[2])), schema)\n";
    const std::string command =
        "python3 -c '" + script + "' '" + kSchema + "' '" + jsonPath + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return "python3 could not be started";
    std::string out;
    for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    return out.empty() ? "python3 failed" : out;
}

// The demo minute: the water heater's supply sags from 15 s to 35 s, the tank sensor loses its
// supply from 40 s on; the roof fan never identifies itself.
TEST(ReportTool, DemoLogGivesInventoryFaultsAndLoad) {
    char folder[] = "/tmp/corvane-report-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string page = std::string(folder) + "/report.html";
    const ToolRun r = run("--json --html " + page + " " + kDemoLog);
    ASSERT_EQ(r.status, 0);
    const Json j = Json::parse(r.out);
    writeAll(std::string(folder) + "/report.json", r.out);
    EXPECT_EQ(schemaProblem(std::string(folder) + "/report.json"), "");
    std::remove((std::string(folder) + "/report.json").c_str());

    ASSERT_EQ(j["inventory"].size(), 5u);
    EXPECT_EQ(j["inventory"][0]["address_hex"], "42");
    EXPECT_EQ(j["inventory"][0]["make"], "Norvale Power");
    EXPECT_EQ(j["inventory"][0]["serial"], "NV30-118204");
    EXPECT_EQ(j["inventory"][4]["address_hex"], "8E");
    EXPECT_EQ(j["inventory"][4]["make"], "");

    ASSERT_EQ(j["faults"]["active"].size(), 1u);
    const Json& tank = j["faults"]["active"][0];
    EXPECT_EQ(tank["address"], 0x48);
    EXPECT_EQ(tank["message"], "DM1");
    EXPECT_EQ(tank["spn"], 3509);
    EXPECT_EQ(tank["first_seen"], "2025-12-06 05:47:20 UTC");
    EXPECT_NE(tank["text"].get<std::string>().find("open circuit"), std::string::npos);

    ASSERT_EQ(j["faults"]["past"].size(), 1u);
    const Json& heater = j["faults"]["past"][0];
    EXPECT_EQ(heater["device"], "Water Heater at 65");
    EXPECT_EQ(heater["lamps"], "Yellow lamp on.");
    EXPECT_EQ(heater["fmi"], 4);
    EXPECT_EQ(heater["first_seen"], "2025-12-06 05:46:55 UTC");
    EXPECT_EQ(heater["cleared"], "2025-12-06 05:47:15 UTC");
    EXPECT_EQ(heater["times_raised"], 1);
    EXPECT_TRUE(j["silent_nodes"].empty());

    // Counted by a separate script over the log's lines: 392479 bits in 59.955 s, and 9165 bits
    // in the second starting at 1765000035.
    EXPECT_NEAR(j["bus_load"]["average_percent"].get<double>(), 2.6185, 0.05);
    EXPECT_NEAR(j["bus_load"]["busiest_second_percent"].get<double>(), 3.666, 0.05);
    EXPECT_EQ(j["bus_load"]["busiest_second_us"], 1765000035000000);
    EXPECT_EQ(j["span"]["frames"], 2769);

    const std::string html = readAll(page);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("Voltage below normal, or shorted to low source"), std::string::npos);
    EXPECT_NE(html.find("NV30-118204"), std::string::npos);
    for (const char* outside : {"http:", "https:", "src=", "<link", "<script", "url("}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }
    std::remove(page.c_str());
    ::rmdir(folder);
}

// PRODUCT_IDs as devices send them, not as text ought to be: a Latin-1 letter, a control
// byte, and characters the page must escape. The report is still written, as valid UTF-8,
// in all three forms, and its JSON (a quiet device in it) validates.
TEST(ReportTool, BytesThatAreNotTextFromTheBus) {
    Folder folder;
    const std::string log = folder.path + "/coach.log";
    writeAll(log,
             "(1765000000.000000) can0 18FEEB42#41E92A422A432A2A\n"  // "A\xE9*B*C**"
             "(1765000000.100000) can0 19FECA42#0542FFFFFFFFFFFF\n"
             "(1765000000.200000) can0 18FEEB43#3C263E2A4D012A2A\n"  // "<&>*M\x01**"
             "(1765000000.300000) can0 19FECA43#0543FFFFFFFFFFFF\n"
             "(1765000020.300000) can0 19FECA43#0543FFFFFFFFFFFF\n");
    const std::string page = folder.path + "/report.html";
    const ToolRun json = run("--json --html " + page + " " + log);
    ASSERT_EQ(json.status, 0);
    const Json j = Json::parse(json.out);
    ASSERT_EQ(j["inventory"].size(), 2u);
    EXPECT_EQ(j["inventory"][0]["make"], "A\xC3\xA9");  // e-acute in UTF-8
    EXPECT_EQ(j["inventory"][0]["model"], "B");
    EXPECT_EQ(j["inventory"][1]["make"], "<&>");
    EXPECT_EQ(j["inventory"][1]["model"], "M\xEF\xBF\xBD");  // U+FFFD for the control byte
    // 42 went quiet 20 s before the end: still listed, with when it was last heard.
    EXPECT_TRUE(j["inventory"][0]["quiet"].get<bool>());
    EXPECT_EQ(j["inventory"][0]["last_heard"], "2025-12-06 05:46:40 UTC");
    EXPECT_FALSE(j["inventory"][1]["quiet"].get<bool>());
    writeAll(folder.path + "/report.json", json.out);
    EXPECT_EQ(schemaProblem(folder.path + "/report.json"), "");

    const std::string html = readAll(page);
    EXPECT_NE(html.find("<td>A\xC3\xA9</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>&lt;&amp;&gt;</td>"), std::string::npos);
    EXPECT_EQ(html.find('\x01'), std::string::npos);
    EXPECT_EQ(html.find("\xE9*"), std::string::npos);
    const ToolRun text = run(log);
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("A\xC3\xA9, B, C"), std::string::npos);
}

TEST(ReportTool, CommandLineAndBadInput) {
    const ToolRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: corvane-report"), std::string::npos);
    EXPECT_EQ(run("--version").status, 0);
    EXPECT_EQ(run("--colour " + kDemoLog).status, 2);
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("--bit-rate fast " + kDemoLog).status, 2);
    EXPECT_EQ(run("/nonexistent/coach.log").status, 3);
    EXPECT_EQ(run("--html /nonexistent/folder/r.html " + kDemoLog).status, 3);
    // At 500 kbit/s the same bits are half the load.
    const Json j = Json::parse(run("--json --bit-rate 500000 " + kDemoLog).out);
    EXPECT_NEAR(j["bus_load"]["average_percent"].get<double>(), 2.6185 / 2, 0.03);
    // Text for the terminal names the fault in words.
    const ToolRun text = run(kDemoLog);
    EXPECT_NE(text.out.find("SPN 168 (battery potential) - FMI 4"), std::string::npos);
}

}  // namespace
