#include "app/DeviceDetails.h"

#include <cstdio>

namespace corvane {

namespace {

std::string threeDigits(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%.3u", value);
    return text;
}

}  // namespace

std::string DeviceDetailsText(const RVCDevice& device, const RVCNode& node) {
    std::string text;
    text += "Source Address : " + threeDigits(device.sa) + "\r\n";
    text += "Default Source Address : " + threeDigits(device.dsa) + "\r\n";
    text += "Make : " + node.make + "\r\n";
    text += "Model : " + node.model + "\r\n";
    text += "Serial Number : " + node.serialNumber + "\r\n";
    text += "ID Number : " + node.idNumber + "\r\n";
    return text;
}

}  // namespace corvane
