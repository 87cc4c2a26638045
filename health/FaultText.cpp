#include "health/FaultText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace corvane::health {

namespace {

constexpr std::array<std::string_view, 32> kFailureModes = {
    "Data valid but above normal operational range - most severe level",
    "Data valid but below normal operational range - most severe level",
    "Data erratic, intermittent or incorrect",
    "Voltage above normal, or shorted to high source",
    "Voltage below normal, or shorted to low source",
    "Current below normal or open circuit",
    "Current above normal or grounded circuit",
    "Mechanical system not responding or out of adjustment",
    "Abnormal frequency or pulse width or period",
    "Abnormal update rate",
    "Abnormal rate of change",
    "Root cause not known",
    "Bad intelligent device or component",
    "Out of calibration",
    "Special instructions",
    "Data valid but above normal operating range - least severe level",
    "Data valid but above normal operating range - moderately severe level",
    "Data valid but below normal operating range - least severe level",
    "Data valid but below normal operating range - moderately severe level",
    "Received network data in error",
    "Data drifted high",
    "Data drifted low",
    "Reserved failure mode",
    "Reserved failure mode",
    "Reserved failure mode",
    "Reserved failure mode",
    "Reserved failure mode",
    "Reserved failure mode",
    "Reserved failure mode",
    "Reserved failure mode",
    "Reserved failure mode",
    "Condition exists",
};

// The parameters a coach's engine, transmission, chassis and power equipment most often report
// against, as the J1939 parameter list names them, sorted by SPN for the binary search.
constexpr std::pair<uint32_t, std::string_view> kParameters[] = {
    {27, "engine EGR 1 valve position"},
    {51, "engine throttle valve 1 position"},
    {52, "engine intercooler temperature"},
    {70, "parking brake switch"},
    {81, "particulate filter intake pressure"},
    {84, "wheel-based vehicle speed"},
    {86, "cruise control set speed"},
    {91, "accelerator pedal position"},
    {92, "engine percent load at current speed"},
    {94, "engine fuel delivery pressure"},
    {95, "engine fuel filter differential pressure"},
    {96, "fuel level"},
    {97, "water in fuel indicator"},
    {98, "engine oil level"},
    {99, "engine oil filter differential pressure"},
    {100, "engine oil pressure"},
    {101, "engine crankcase pressure"},
    {102, "engine intake manifold pressure"},
    {103, "engine turbocharger speed"},
    {105, "engine intake manifold temperature"},
    {106, "engine air inlet pressure"},
    {107, "engine air filter differential pressure"},
    {108, "barometric pressure"},
    {109, "engine coolant pressure"},
    {110, "engine coolant temperature"},
    {111, "engine coolant level"},
    {114, "net battery current"},
    {115, "alternator current"},
    {117, "brake primary pressure"},
    {118, "brake secondary pressure"},
    {124, "transmission oil level"},
    {127, "transmission oil pressure"},
    {157, "engine injector metering rail pressure"},
    {158, "key switch battery potential"},
    {161, "transmission input shaft speed"},
    {167, "charging system potential"},
    {168, "battery potential"},
    {171, "ambient air temperature"},
    {172, "engine air inlet temperature"},
    {173, "engine exhaust gas temperature"},
    {174, "engine fuel temperature"},
    {175, "engine oil temperature"},
    {176, "engine turbocharger oil temperature"},
    {177, "transmission oil temperature"},
    {183, "engine fuel rate"},
    {190, "engine speed"},
    {191, "transmission output shaft speed"},
    {237, "vehicle identification number"},
    {241, "tire pressure"},
    {242, "tire temperature"},
    {245, "total vehicle distance"},
    {247, "engine total hours of operation"},
    {513, "actual engine percent torque"},
    {523, "transmission current gear"},
    {596, "cruise control enable switch"},
    {597, "brake switch"},
    {598, "clutch switch"},
    {629, "controller"},
    {630, "calibration memory"},
    {639, "network data link"},
    {651, "engine injector cylinder 1"},
    {652, "engine injector cylinder 2"},
    {653, "engine injector cylinder 3"},
    {654, "engine injector cylinder 4"},
    {655, "engine injector cylinder 5"},
    {656, "engine injector cylinder 6"},
    {677, "engine starter motor relay"},
    {723, "engine speed sensor 2"},
    {1136, "controller temperature"},
    {1569, "engine protection torque derate"},
    {1761, "exhaust fluid tank level"},
    {2791, "engine EGR 1 valve control"},
    {3031, "exhaust fluid tank temperature"},
    {3216, "aftertreatment intake NOx"},
    {3226, "aftertreatment outlet NOx"},
    {3251, "particulate filter differential pressure"},
    {3509, "sensor supply voltage 1"},
    {3510, "sensor supply voltage 2"},
    {3511, "sensor supply voltage 3"},
    {3512, "sensor supply voltage 4"},
    {3513, "sensor supply voltage 5"},
    {3514, "sensor supply voltage 6"},
    {3719, "particulate filter soot load"},
    {4364, "aftertreatment SCR conversion efficiency"},
    {5246, "aftertreatment SCR operator inducement severity"},
};

// SPNs 2000 to 2253 stand for the device at source address SPN - 2000: a node reports the
// device it lost contact with, or that sent it wrong data.
constexpr uint32_t kAddressSpns = 2000;
constexpr uint32_t kAddressSpnsEnd = 2253;

}  // namespace

std::string_view failureModeText(uint8_t fmi) { return kFailureModes[fmi & 0x1F]; }

std::string parameterName(uint32_t spn) {
    if (spn >= kAddressSpns && spn <= kAddressSpnsEnd) {
        char text[32];
        std::snprintf(text, sizeof text, "device at address %02X", spn - kAddressSpns);
        return text;
    }
    const auto* end = std::end(kParameters);
    const auto* it =
        std::lower_bound(std::begin(kParameters), end, spn,
                         [](const auto& entry, uint32_t s) { return entry.first < s; });
    return it != end && it->first == spn ? std::string(it->second) : std::string{};
}

std::string spnText(uint32_t spn) {
    std::string text = "SPN " + std::to_string(spn);
    const std::string name = parameterName(spn);
    if (!name.empty()) text += " (" + name + ')';
    return text;
}

std::string describeCode(const TroubleCode& code) {
    // Read in the current layout the bits of an older one name some other parameter, if any.
    std::string text = code.olderSpnLayout
                           ? "SPN " + std::to_string(code.spn) + " (older SPN layout)"
                           : spnText(code.spn);
    text += " - FMI " + std::to_string(code.fmi) + ": ";
    text += failureModeText(code.fmi);
    if (code.occurrences != kOccurrenceNotAvailable) {
        text += " - counted " + std::to_string(code.occurrences) +
                (code.occurrences == 1 ? " time" : " times") + " by the device";
    }
    return text;
}

std::string_view lampText(LampState state) {
    switch (state) {
        case LampState::Off:
            return "off";
        case LampState::On:
            return "on";
        case LampState::Error:
            return "error";
        case LampState::NotAvailable:
            break;
    }
    return "n/a";
}

}  // namespace corvane::health
