#include "app/DeviceListText.h"

#include <algorithm>
#include <cstdio>

#include "core/DiagnosticStatus.h"
#include "core/Vocabulary.h"

namespace corvane {

std::vector<std::string> deviceListLines(const DeviceTable& table, bool showPhantoms) {
    auto devices = table.devices();
    std::stable_sort(devices.begin(), devices.end(), [](const RVCDevice& a, const RVCDevice& b) {
        return a.dsa != b.dsa ? a.dsa < b.dsa : a.sa < b.sa;
    });
    std::vector<std::string> lines;
    lines.emplace_back(" SA DSA Type                          Status           Make / Model");
    char line[256];
    for (const auto& d : devices) {
        if (!d.identified && !showPhantoms) continue;
        const RVCNode node = table.findNode(d.sa);
        std::string label = node.address == d.sa ? node.make + " / " + node.model
                                                 : std::string("(phantom: no PRODUCT_ID)");
        const char* lamp = redLampOn(d.status) ? " RED" : yellowLampOn(d.status) ? " YEL" : "";
        std::snprintf(line, sizeof line, " %02X %3d %-29.29s %-3s %-8s%-4s %s", d.sa, d.dsa,
                      DeviceTypeName(d.dsa).c_str(), onOffText(d.status), activityText(d.status),
                      lamp, label.c_str());
        lines.emplace_back(line);
    }
    return lines;
}

}  // namespace corvane
