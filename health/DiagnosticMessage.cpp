#include "health/DiagnosticMessage.h"

namespace corvane::health {

namespace {

uint8_t byteOr(std::span<const uint8_t> data, size_t i, uint8_t absent) {
    return i < data.size() ? data[i] : absent;
}

bool isNoCode(std::span<const uint8_t> four) {
    bool zeros = true;
    bool ones = true;
    for (uint8_t b : four) {
        zeros = zeros && b == 0x00;
        ones = ones && b == 0xFF;
    }
    return zeros || ones;
}

// Four DM1 code bytes: SPN low byte, middle byte, then 3 SPN bits over the FMI, then the count
// in bits 0-6 and the conversion method in bit 7.
TroubleCode dm1Code(std::span<const uint8_t> four) {
    TroubleCode code;
    code.spn = four[0] | (uint32_t{four[1]} << 8) | (static_cast<uint32_t>(four[2] >> 5) << 16);
    code.fmi = four[2] & 0x1F;
    code.occurrences = four[3] & 0x7F;
    code.olderSpnLayout = (four[3] & 0x80) != 0;
    return code;
}

}  // namespace

std::optional<DmRvReport> decodeDmRv(std::span<const uint8_t> data) {
    if (data.size() < 2) return std::nullopt;
    DmRvReport r;
    const uint8_t status = data[0];
    r.operatingStatus = lampField(status, 0);
    r.activity = lampField(status, 1);
    r.yellowLamp = lampField(status, 2);
    r.redLamp = lampField(status, 3);
    r.dsa = data[1];
    r.dsaExtension = byteOr(data, 6, 0xFF);
    r.bankSelect = byteOr(data, 7, 0xFF) & 0x0F;

    const uint8_t msb = byteOr(data, 2, 0xFF);
    const uint8_t mid = byteOr(data, 3, 0xFF);
    const uint8_t low = byteOr(data, 4, 0xFF);
    const uint32_t spn = (uint32_t{msb} << 11) | (uint32_t{mid} << 3) | (low >> 5);
    // A device without a fault sends the SPN as not available; an SPN of 0 names nothing.
    if (spn != kSpnNotAvailable && spn != 0) {
        TroubleCode code;
        code.spn = spn;
        code.fmi = low & 0x1F;
        code.occurrences = byteOr(data, 5, 0xFF) & 0x7F;
        r.code = code;
    }
    return r;
}

std::optional<Dm1Report> decodeDm1(std::span<const uint8_t> data) {
    if (data.size() < 2) return std::nullopt;
    Dm1Report r;
    r.protectLamp = lampField(data[0], 0);
    r.amberLamp = lampField(data[0], 1);
    r.redLamp = lampField(data[0], 2);
    r.malfunctionLamp = lampField(data[0], 3);
    r.dsa = data[1];
    for (size_t at = 2; at + 4 <= data.size(); at += 4) {
        const auto four = data.subspan(at, 4);
        if (isNoCode(four)) continue;
        r.codes.push_back(dm1Code(four));
    }
    return r;
}

}  // namespace corvane::health
