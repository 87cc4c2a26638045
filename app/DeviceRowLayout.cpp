#include "app/DeviceRowLayout.h"

#include "core/DiagnosticStatus.h"

namespace corvane {

DeviceRowLayout DeviceRowLayout::of(PixelRect row) {
    const int x = row.left;
    const int w = row.right - row.left;
    const int e = w / 10;
    const int height = row.bottom - row.top;

    DeviceRowLayout out;
    out.circle = {x, row.top, x + e, row.bottom};
    if (e < height) {
        out.circle.top += (height - e) / 2;
        out.circle.bottom -= (height - e) / 2;
    } else {
        out.circle.left += (e - height) / 2;
        out.circle.right -= (e - height) / 2;
    }
    out.dsa = {x + e, row.top, x + 2 * e, row.bottom};
    out.power = {x + 2 * e, row.top, x + 3 * e, row.bottom};
    out.state = {x + 3 * e, row.top, x + 5 * e, row.bottom};
    out.name = {x + 5 * e + w / 40, row.top, row.right, row.bottom};
    return out;
}

StateFill stateFillOf(uint8_t status) {
    if (redLampOn(status)) return StateFill::Red;
    if (yellowLampOn(status)) return StateFill::Yellow;
    return StateFill::Background;
}

}  // namespace corvane
