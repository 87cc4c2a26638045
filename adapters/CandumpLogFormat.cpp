#include "adapters/CandumpLogFormat.h"

namespace corvane {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr size_t kInterfaceMax = 15;
constexpr int kSecondsMinDigits = 10;
constexpr int kMicroDigits = 6;

// Decimal digits of `value`, at least `width` of them, zero-padded.
char* putDecimal(char* p, uint64_t value, int width) {
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < width) tmp[n++] = '0';
    while (n > 0) *p++ = tmp[--n];
    return p;
}

}  // namespace

size_t formatCandumpLine(int64_t micros, std::string_view interface, uint32_t canId, uint8_t length,
                         const uint8_t* data, char* out) {
    char* p = out;
    const uint64_t t = micros < 0 ? 0 : static_cast<uint64_t>(micros);
    *p++ = '(';
    p = putDecimal(p, t / 1000000, kSecondsMinDigits);
    *p++ = '.';
    p = putDecimal(p, t % 1000000, kMicroDigits);
    *p++ = ')';
    *p++ = ' ';
    const size_t nameLength = interface.size() < kInterfaceMax ? interface.size() : kInterfaceMax;
    for (size_t i = 0; i < nameLength; ++i) *p++ = interface[i];
    *p++ = ' ';
    for (int shift = 28; shift >= 0; shift -= 4) *p++ = kDigits[(canId >> shift) & 0xF];
    *p++ = '#';
    const uint8_t n = length < 8 ? length : 8;
    for (uint8_t i = 0; i < n; ++i) {
        *p++ = kDigits[data[i] >> 4];
        *p++ = kDigits[data[i] & 0xF];
    }
    *p++ = '\n';
    return static_cast<size_t>(p - out);
}

}  // namespace corvane
