#include "decode/FieldSpec.h"

#include <algorithm>
#include <cmath>

namespace corvane::decode {

std::string_view FieldSpec::valueName(uint32_t raw) const {
    auto it = std::lower_bound(values.begin(), values.end(), raw,
                               [](const ValueName& v, uint32_t r) { return v.value < r; });
    if (it == values.end() || it->value != raw) return {};
    return it->text;
}

uint8_t decimalsOf(double scale) {
    double s = std::fabs(scale);
    for (uint8_t d = 0; d < 9; ++d) {
        if (std::fabs(s - std::round(s)) < 1e-9) return d;
        s *= 10;
    }
    return 9;
}

}  // namespace corvane::decode
