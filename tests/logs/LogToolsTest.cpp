#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "logs/LogFrameReader.h"
#include "tests/logs/LogFiles.h"

namespace corvane {
namespace {

#if defined(CORVANE_DECODE_TOOL) && defined(CORVANE_REPORT_TOOL) && defined(CORVANE_SCRIPT_TOOL)

const std::string kDemoLog = std::string(CORVANE_EXAMPLE_LOGS) + "/demo-vehicle.log";

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program arguments` with no input, its two outputs caught in files of `folder`.
ToolRun run(const test::ScratchFolder& folder, const std::string& program,
            const std::string& arguments) {
    const std::string out = folder.file("tool.out");
    const std::string err = folder.file("tool.err");
    const int status =
        std::system((program + " " + arguments + " </dev/null >" + out + " 2>" + err).c_str());
    ToolRun r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = test::readBytes(out);
    r.err = test::readBytes(err);
    return r;
}

// What the streamed reader takes from `path`: frames, and how it broke off.
struct Readable {
    size_t frames = 0;
    std::string faultText;
};
Readable readable(const std::string& path) {
    LogFrameReader reader;
    Readable r;
    r.frames = test::readFrames(path, reader).size();
    r.faultText = reader.faultText();
    return r;
}

// The demo recording, half of it gzip-compressed: each program reads up to the break, says
// where the log broke off and ends with the status its usage documents.
TEST(LogTools, ACutOffGzipIsReadToTheBreakAndSaysWhere) {
    test::ScratchFolder folder;
    const std::string path = folder.file("cut.log.gz");
    ASSERT_TRUE(test::writeLog(path, test::readBytes(kDemoLog)));
    const std::string bytes = test::readBytes(path);
    test::writeBytes(path, bytes.substr(0, bytes.size() / 2));
    const Readable part = readable(path);
    ASSERT_GT(part.frames, 100u);
    ASSERT_EQ(part.faultText, "is cut short after " + std::to_string(part.frames) + " frames");
    const std::string where = "the log " + path + " " + part.faultText;

    // corvane-decode: the messages up to the break, then 3.
    const ToolRun decode = run(folder, CORVANE_DECODE_TOOL, path);
    EXPECT_EQ(decode.status, 3);
    EXPECT_NE(decode.out.find("INVERTER_STATUS"), std::string::npos);
    EXPECT_NE(decode.err.find("corvane-decode: " + where + "\n"), std::string::npos) << decode.err;

    // corvane-report: the report of the part there is, then 3.
    const ToolRun report = run(folder, CORVANE_REPORT_TOOL, path);
    EXPECT_EQ(report.status, 3);
    EXPECT_NE(report.out.find(std::to_string(part.frames) + " frames\n"), std::string::npos)
        << report.out;
    EXPECT_NE(report.err.find("corvane-report: " + where + "\n"), std::string::npos) << report.err;

    // corvane-script: the replay plays the part and says so; the script completes (0). The
    // log plays as fast as possible, in milliseconds, well within the script's wait.
    const std::string script = folder.file("wait.scr");
    test::writeBytes(script, "\"start\nWAIT 3\n\"done\n");
    const ToolRun runner = run(folder, CORVANE_SCRIPT_TOOL,
                               script + " --replay " + path + " --replay-speed 0 --max-seconds 30");
    EXPECT_EQ(runner.status, 0);
    EXPECT_EQ(runner.out, "start\ndone\n");
    EXPECT_NE(runner.err.find("Replay finished: " + std::to_string(part.frames) +
                              " frames played, 0 lines skipped. The log file " + path + " " +
                              part.faultText + "."),
              std::string::npos)
        << runner.err;
}

// The demo recording written as an ASC log (times relative to its "date" line): each program
// makes of it exactly what it makes of the candump original.
TEST(LogTools, AnAscLogReadsAsItsCandumpOriginal) {
    test::ScratchFolder folder;
    LogFrameReader original;
    ASSERT_TRUE(original.open(kDemoLog));
    std::string asc;
    CandumpRecord r;
    int64_t start = -1;
    while (original.next(r)) {
        if (start < 0) {
            start = r.micros / 1'000'000 * 1'000'000;
            const std::time_t seconds = static_cast<std::time_t>(start / 1'000'000);
            std::tm utc{};
            gmtime_r(&seconds, &utc);
            char date[64];
            std::strftime(date, sizeof date, "date %a %b %d %H:%M:%S.000 %Y\n", &utc);
            asc += date;
            asc += "base hex  timestamps absolute\nno internal events logged\n";
        }
        const int64_t at = r.micros - start;
        char line[128];
        int n = std::snprintf(line, sizeof line, "%6lld.%06lld 1  %Xx  Rx   d %u",
                              static_cast<long long>(at / 1'000'000),
                              static_cast<long long>(at % 1'000'000), r.canId, r.length);
        for (uint8_t i = 0; i < r.length; ++i)
            n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), " %02X", r.data[i]);
        asc.append(line, static_cast<size_t>(n)).append("\n");
    }
    asc += "End TriggerBlock\n";
    const std::string path = folder.file("demo.asc");
    test::writeBytes(path, asc);

    for (const char* tool : {CORVANE_DECODE_TOOL, CORVANE_REPORT_TOOL}) {
        SCOPED_TRACE(tool);
        const ToolRun fromCandump = run(folder, tool, kDemoLog);
        const ToolRun fromAsc = run(folder, tool, path);
        EXPECT_EQ(fromAsc.status, 0);
        EXPECT_EQ(fromAsc.status, fromCandump.status);
        EXPECT_FALSE(fromAsc.out.empty());
        EXPECT_TRUE(fromAsc.out == fromCandump.out) << fromAsc.out;
        EXPECT_EQ(fromAsc.err, "");
    }
}

#endif

}  // namespace
}  // namespace corvane
