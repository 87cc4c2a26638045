#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

#include "logs/ReplayConduit.h"

namespace corvane {

namespace {

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (upper(a).find("-NOUPDATES") != std::string::npos) {
            cl.noUpdates = true;
        } else if (a == "--headless") {
            cl.headless = true;
        } else if (a == "--demo") {
            cl.demo = true;
        } else if (a == "--debug-port") {
            cl.debugPort = true;
        } else if (a == "--replay-loop") {
            cl.replayLoop = true;
        } else if (a == "--demo-modules" && hasValue) {
            cl.demoModules = args[++i];
        } else if (a == "--demo-adapter" && hasValue) {
            const std::string& adapter = args[i + 1];
            if (adapter != "vexor" && adapter != "ft" && adapter != "cloud") {
                cl.unknown.push_back(a);
                continue;
            }
            cl.demoAdapter = args[++i];
        } else if (a == "--serial-port" && hasValue) {
            cl.serialPort = args[++i];
        } else if (a == "--replay" && hasValue) {
            cl.replayFile = args[++i];
        } else if (a == "--replay-speed" && hasValue) {
            const auto speed = ReplayConduit::parseSpeed(args[i + 1]);
            if (!speed) {
                cl.unknown.push_back(a);
                continue;
            }
            cl.replaySpeed = *speed;
            ++i;
        } else if (a == "--socketcan" && hasValue) {
            cl.socketCan = args[++i];
        } else if (a == "--record" && hasValue) {
            cl.recordFolder = args[++i];
        } else if (a == "--record-compress" && hasValue) {
            cl.recording.compression = RecordingOptions::parseCompression(args[i + 1]);
            if (!cl.recording.compression) {
                cl.unknown.push_back(a);
                continue;
            }
            ++i;
        } else if ((a == "--record-minutes" || a == "--record-mb" || a == "--keep-days" ||
                    a == "--keep-gb") &&
                   hasValue) {
            const auto count = RecordingOptions::parseCount(args[i + 1]);
            if (!count) {
                cl.unknown.push_back(a);
                continue;
            }
            std::optional<int>& field = a == "--record-minutes" ? cl.recording.fileMinutes
                                        : a == "--record-mb"    ? cl.recording.fileMB
                                        : a == "--keep-days"    ? cl.recording.keepDays
                                                                : cl.recording.keepGB;
            field = count;
            ++i;
        } else {
            cl.unknown.push_back(a);
        }
    }
    return cl;
}

StartOptions startOptionsOf(const CommandLine& cl) {
    StartOptions start;
    start.debugPort = cl.debugPort;
    start.serialPort = cl.serialPort;
    start.demoModules = cl.demoModules;
    if (cl.demo) {
        if (cl.demoAdapter == "ft") {
            start.demo = DemoAdapter::Ft;
        } else if (cl.demoAdapter == "cloud") {
            start.demo = DemoAdapter::Cloud;
        } else {
            start.demo = DemoAdapter::Vexor;
        }
        return start;
    }
    start.replayFile = cl.replayFile;
    start.replaySpeed = cl.replaySpeed;
    start.replayLoop = cl.replayLoop;
    if (start.replayFile.empty()) start.socketCanInterface = cl.socketCan;
    return start;
}

}  // namespace corvane
