#include "app/DeviceDetails.h"

#include <cstdio>

#include "core/DiagnosticStatus.h"
#include "health/ReportFormats.h"

namespace corvane {

namespace {

std::string threeDigits(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%.3u", value);
    return text;
}

// One two-bit field of the status byte.
const char* fieldText(uint8_t field) {
    static constexpr const char* kTexts[] = {"Off", "On", "Error", "Not Available"};
    return kTexts[field & 3];
}

std::string hexBytes(const std::array<uint8_t, 6>& bytes) {
    std::string text;
    char one[4];
    for (uint8_t b : bytes) {
        std::snprintf(one, sizeof one, "%02X", b);
        if (!text.empty()) text += ' ';
        text += one;
    }
    return text;
}

}  // namespace

std::string DeviceDetailsText(const RVCDevice& device, const RVCNode& node,
                              const std::vector<health::HealthReport::Fault>& faults,
                              const std::function<std::string(int64_t)>& timeText) {
    std::string text;
    text += "Source Address : " + threeDigits(device.sa) + "\r\n";
    text += "Default Source Address : " + threeDigits(device.dsa) + "\r\n";
    text += "Make : " + node.make + "\r\n";
    text += "Model : " + node.model + "\r\n";
    text += "Serial Number : " + node.serialNumber + "\r\n";
    text += "ID Number : " + node.idNumber + "\r\n";
    text += std::string("Lamps : Red ") + fieldText(redLampStatus(device.status)) + ", Yellow " +
            fieldText(yellowLampStatus(device.status)) + "\r\n";
    text += "Fault Bytes : " + hexBytes(device.fault) + "\r\n";
    for (const health::HealthReport::Fault& f : faults) {
        text += f.clearedAt == 0 ? "Fault : " : "Past Fault : ";
        text += health::faultSentence(f, timeText ? timeText : health::utcText) + "\r\n";
    }
    return text;
}

}  // namespace corvane
