#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

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
        if (upper(a).find("-NOUPDATES") != std::string::npos) {
            cl.noUpdates = true;
        } else if (a == "--headless") {
            cl.headless = true;
        } else if (a == "--demo") {
            cl.demo = true;
        } else if (a == "--debug-port") {
            cl.debugPort = true;
        } else if (a == "--demo-modules" && i + 1 < args.size()) {
            cl.demoModules = args[++i];
        } else if (a == "--demo-adapter" && i + 1 < args.size()) {
            cl.demoAdapter = args[++i];
        } else if (a == "--serial-port" && i + 1 < args.size()) {
            cl.serialPort = args[++i];
        } else {
            cl.unknown.push_back(a);
        }
    }
    return cl;
}

}  // namespace corvane
