#include "core/DeviceReport.h"

#include <cstdio>

#include "core/Vocabulary.h"

namespace corvane {

std::string ReportDeviceList(const DeviceTable& table, int64_t now) {
    std::string text = "Nodes\n\r";
    std::string line;
    auto append = [&](int size, auto... args) {
        line.resize(static_cast<size_t>(size) + 1);
        std::snprintf(line.data(), line.size(), args...);
        line.pop_back();
        text += line;
    };
    for (const auto& n : table.nodes()) {
        const int age = static_cast<int>(now - n.updated);
        const char* format = "  %02X [%3d] %2d sec %s %s %s %s \n\r";
        append(std::snprintf(nullptr, 0, format, n.address, n.address, age, n.make.c_str(),
                             n.model.c_str(), n.serialNumber.c_str(), n.idNumber.c_str()),
               format, n.address, n.address, age, n.make.c_str(), n.model.c_str(),
               n.serialNumber.c_str(), n.idNumber.c_str());
    }
    text += "Devices\n\r";
    for (const auto& d : table.devices()) {
        const int age = static_cast<int>(now - d.updated);
        const char* format = "  SA: %02X [%3d]  DSA: %02X [%3d]  %2d sec  ID:%d ";
        append(std::snprintf(nullptr, 0, format, d.sa, d.sa, d.dsa, d.dsa, age, d.identified),
               format, d.sa, d.sa, d.dsa, d.dsa, age, d.identified);
        text += DeviceTypeName(d.dsa);
        text += "\n\r";
    }
    return text;
}

}  // namespace corvane
