#include "decode/MessageSpec.h"

#include <algorithm>

namespace corvane::decode {

void MessageSpec::complete() {
    instanceField = -1;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == "instance") {
            instanceField = static_cast<int>(i);
            break;
        }
    }
    covered.clear();
    coversAllFrom = SIZE_MAX;
    for (const FieldSpec& f : fields) {
        if (f.byteCount == 0) {
            coversAllFrom = std::min<size_t>(coversAllFrom, f.firstByte);
            continue;
        }
        // Bits of a multi-byte number cover only the bytes they sit in.
        size_t first = f.firstByte;
        size_t end = first + f.byteCount;
        if (f.bitCount != 0) {
            first += f.firstBit / 8;
            end = f.firstByte + (f.firstBit + f.bitCount - 1) / 8 + 1;
        }
        if (covered.size() < end) covered.resize(end, 0);
        std::fill(covered.begin() + static_cast<std::ptrdiff_t>(first),
                  covered.begin() + static_cast<std::ptrdiff_t>(end), uint8_t{1});
    }
}

bool MessageSpec::hasUncoveredData(const uint8_t* data, size_t size) const {
    const size_t checked = std::min(size, coversAllFrom);
    for (size_t i = 0; i < checked; ++i) {
        if (data[i] != 0xFF && (i >= covered.size() || covered[i] == 0)) return true;
    }
    return false;
}

std::string MessageSpec::unusedName(std::string_view name) const {
    const auto taken = [this](std::string_view candidate) {
        return std::any_of(fields.begin(), fields.end(),
                           [candidate](const FieldSpec& f) { return f.name == candidate; });
    };
    std::string candidate(name);
    for (int n = 2; taken(candidate); ++n) candidate = std::string(name) + "_" + std::to_string(n);
    return candidate;
}

}  // namespace corvane::decode
