#include "app/DeviceRowLayout.h"

#include <cstdio>

#include "core/DiagnosticStatus.h"
#include "core/Vocabulary.h"

namespace corvane {

DeviceRowLayout DeviceRowLayout::of(PixelRect row) {
    const int x = row.left;
    const int w = row.right - row.left;
    const int e = w / 10;
    const int height = row.bottom - row.top;

    DeviceRowLayout out;
    out.marker = {x, row.top, x + e, row.bottom};
    if (e < height) {
        out.marker.top += (height - e) / 2;
        out.marker.bottom -= (height - e) / 2;
    } else {
        out.marker.left += (e - height) / 2;
        out.marker.right -= (e - height) / 2;
    }
    out.dsa = {x + e, row.top, x + 2 * e, row.bottom};
    out.power = {x + 2 * e, row.top, x + 3 * e, row.bottom};
    out.state = {x + 3 * e, row.top, x + 6 * e, row.bottom};
    out.name = {x + 6 * e + w / 40, row.top, row.right, row.bottom};
    return out;
}

StateFill stateFillOf(uint8_t status) {
    if (redLampOn(status)) return StateFill::Red;
    if (yellowLampOn(status)) return StateFill::Yellow;
    return StateFill::Background;
}

DeviceRowTexts rowTextsOf(const RVCDevice& device) {
    char address[4];
    std::snprintf(address, sizeof address, "%02X", device.sa);
    return {address, std::to_string(device.dsa), onOffText(device.status),
            stateTextOf(device.status), DeviceTypeName(device.dsa)};
}

std::string DeviceRowTexts::line() const {
    return "Address " + address + " (hex), DSA " + dsa + " " + name + ": " + power + ", " + state;
}

std::string stateTextOf(uint8_t status) {
    const bool red = redLampStatus(status) == 1;
    const bool yellow = yellowLampStatus(status) == 1;
    std::string text = activityText(status);
    if (red && yellow) return text + " - red and yellow lamps";
    if (red) return text + " - red lamp";
    if (yellow) return text + " - yellow lamp";
    return text;
}

}  // namespace corvane
