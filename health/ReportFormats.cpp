#include "health/ReportFormats.h"

#include <cstdio>

namespace corvane::health {

namespace {

using Json = nlohmann::ordered_json;

std::string hex(uint32_t value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", width, value);
    return text;
}

std::string percent(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", value);
    return text;
}

std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

Json orNull(int value) { return value < 0 ? Json() : Json(value); }

Json faultJson(const HealthReport::Fault& f) {
    Json j;
    j["address"] = f.address;
    j["address_hex"] = hex(f.address, 2);
    j["dsa"] = f.dsa;
    j["bank"] = orNull(f.bank);
    j["device"] = f.device;
    j["lamps"] = f.lamps;
    j["severity"] = f.severity;
    j["spn"] = f.spn;
    j["fmi"] = f.fmi;
    j["text"] = f.text;
    j["message"] = f.legacy ? "DM1" : "DM_RV";
    j["first_seen"] = utcText(f.firstSeen);
    j["first_seen_us"] = f.firstSeen;
    j["last_seen"] = utcText(f.lastSeen);
    j["last_seen_us"] = f.lastSeen;
    if (f.clearedAt != 0) {
        j["cleared"] = utcText(f.clearedAt);
        j["cleared_us"] = f.clearedAt;
    }
    j["times_seen"] = f.seen;
    j["times_raised"] = f.raised;
    return j;
}

// "on, yellow lamp on", and for a device gone quiet "..., not heard since <time>".
std::string inventoryStatus(const HealthReport::Device& d) {
    std::string status = d.status;
    if (d.quiet)
        status +=
            (status.empty() ? "" : ", ") + std::string("not heard since ") + utcText(d.lastHeard);
    return status;
}

std::string forgottenText(const HealthReport& r) {
    return std::to_string(r.faultsForgotten) +
           " older faults are not listed: the history keeps the latest " +
           std::to_string(FaultHistory::kFaultsPerDevice) + " of each device and " +
           std::to_string(FaultHistory::kFaults) + " in all.";
}

std::string faultLine(const HealthReport::Fault& f) {
    return f.device + ": " + faultSentence(f, utcText);
}

std::string dgnList(const std::vector<uint32_t>& dgns) {
    std::string text;
    for (uint32_t d : dgns) text += (text.empty() ? "" : ", ") + hex(d, 0);
    return text;
}

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 2em; color: #111; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; }
h2 { font-size: 1.15em; margin-top: 1.5em; border-bottom: 1px solid #999; }
table { border-collapse: collapse; width: 100%; font-size: 0.9em; }
th, td { text-align: left; padding: 0.25em 0.5em; border-bottom: 1px solid #ddd; vertical-align: top; }
th { background: #eee; }
.red { color: #b00000; font-weight: bold; }
.yellow { color: #8a6d00; font-weight: bold; }
.none { color: #555; font-style: italic; }
@media print { body { margin: 0; } h2 { break-after: avoid; } tr { break-inside: avoid; } }
)";

void faultTable(std::string& h, const std::vector<HealthReport::Fault>& faults, bool past) {
    if (faults.empty()) {
        h += "<p class=\"none\">None.</p>\n";
        return;
    }
    h += "<table><tr><th>Device</th><th>Fault</th><th>Seen</th><th>First</th><th>Last</th>";
    h += past ? "<th>Cleared</th></tr>\n" : "</tr>\n";
    for (const auto& f : faults) {
        const char* lampClass = f.severity >= 3 ? "red" : "yellow";
        h += "<tr><td>" + escape(f.device) + "</td><td>";
        if (!f.lamps.empty())
            h += std::string("<span class=\"") + lampClass + "\">" + escape(f.lamps) + "</span> ";
        h += escape(f.text) + "</td><td>" + std::to_string(f.seen) + "</td><td>" +
             utcText(f.firstSeen) + "</td><td>" + utcText(f.lastSeen) + "</td>";
        if (past) h += "<td>" + utcText(f.clearedAt) + "</td>";
        h += "</tr>\n";
    }
    h += "</table>\n";
}

}  // namespace

std::string faultSentence(const HealthReport::Fault& f,
                          const std::function<std::string(int64_t)>& timeText) {
    std::string line;
    if (!f.lamps.empty()) line += f.lamps + ' ';
    line += f.text + " - seen " + std::to_string(f.seen) + (f.seen == 1 ? " time" : " times") +
            ", first " + timeText(f.firstSeen) + ", last " + timeText(f.lastSeen);
    if (f.clearedAt != 0) line += ", cleared " + timeText(f.clearedAt);
    return line;
}

Json reportToJson(const HealthReport& r) {
    Json j;
    j["span"] = {{"start", utcText(r.start)},
                 {"start_us", r.start},
                 {"end", utcText(r.end)},
                 {"end_us", r.end},
                 {"seconds", static_cast<double>(r.end - r.start) / 1e6},
                 {"frames", r.frames}};
    j["inventory"] = Json::array();
    for (const auto& d : r.inventory) {
        Json row = {{"address", d.address}, {"address_hex", hex(d.address, 2)},
                    {"dsa", orNull(d.dsa)}, {"bank", orNull(d.bank)},
                    {"type", d.type},       {"make", d.make},
                    {"model", d.model},     {"serial", d.serial},
                    {"status", d.status},   {"quiet", d.quiet}};
        // Only a quiet device's last time: a live one's would change at every look.
        if (d.quiet) {
            row["last_heard"] = utcText(d.lastHeard);
            row["last_heard_us"] = d.lastHeard;
        }
        j["inventory"].push_back(std::move(row));
    }
    j["faults"] = {
        {"active", Json::array()}, {"past", Json::array()}, {"forgotten", r.faultsForgotten}};
    for (const auto& f : r.activeFaults) j["faults"]["active"].push_back(faultJson(f));
    for (const auto& f : r.pastFaults) j["faults"]["past"].push_back(faultJson(f));
    j["silent_nodes"] = Json::array();
    for (const auto& s : r.silentNodes) {
        Json dgns = Json::array();
        for (uint32_t d : s.dgns) dgns.push_back(hex(d, 0));
        j["silent_nodes"].push_back({{"address", s.address},
                                     {"address_hex", hex(s.address, 2)},
                                     {"device", s.device},
                                     {"last_seen", utcText(s.lastSeen)},
                                     {"last_seen_us", s.lastSeen},
                                     {"dgns", dgns}});
    }
    j["address_conflicts"] = Json::array();
    for (const auto& c : r.conflicts) {
        Json names = Json::array();
        for (uint64_t n : c.names)
            names.push_back(hex(static_cast<uint32_t>(n >> 32), 8) +
                            hex(static_cast<uint32_t>(n), 8));
        j["address_conflicts"].push_back({{"address", c.address}, {"names", names}});
    }
    j["bus_load"] = {{"bit_rate", r.bitRate},
                     {"average_percent", r.loadAverage},
                     {"busiest_second_percent", r.loadPeak},
                     {"busiest_second", utcText(r.peakSecond)},
                     {"busiest_second_us", r.peakSecond}};
    return j;
}

std::string reportToJsonText(const HealthReport& r) {
    // The texts are valid UTF-8 already; a stray byte would still not end the program.
    return reportToJson(r).dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
}

std::string reportToHtml(const HealthReport& r) {
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n";
    h += "<title>Coach health report</title>\n<style>";
    h += kStyle;
    h += "</style></head><body>\n<h1>Coach health report</h1>\n";
    h += "<p>From " + utcText(r.start) + " to " + utcText(r.end) + ", " + std::to_string(r.frames) +
         " frames.</p>\n";

    h += "<h2>Devices</h2>\n<table><tr><th>Address</th><th>Type</th><th>Make</th><th>Model</th>"
         "<th>Serial</th><th>Status</th></tr>\n";
    for (const auto& d : r.inventory) {
        h += "<tr><td>" + hex(d.address, 2) + "</td><td>" + escape(d.type) + "</td><td>" +
             escape(d.make) + "</td><td>" + escape(d.model) + "</td><td>" + escape(d.serial) +
             "</td><td>" + escape(inventoryStatus(d)) + "</td></tr>\n";
    }
    h += "</table>\n<h2>Active faults</h2>\n";
    faultTable(h, r.activeFaults, false);
    h += "<h2>Past faults</h2>\n";
    faultTable(h, r.pastFaults, true);
    if (r.faultsForgotten > 0) h += "<p class=\"none\">" + forgottenText(r) + "</p>\n";

    h += "<h2>Silent nodes</h2>\n";
    if (r.silentNodes.empty()) h += "<p class=\"none\">None.</p>\n";
    for (const auto& s : r.silentNodes) {
        h += "<p>" + escape(s.device) + ": not heard since " + utcText(s.lastSeen) +
             " (stopped sending " + dgnList(s.dgns) + ")</p>\n";
    }
    if (!r.conflicts.empty()) {
        h += "<h2>Address conflicts</h2>\n";
        for (const auto& c : r.conflicts) {
            h += "<p>Address " + hex(c.address, 2) + " was claimed by " +
                 std::to_string(c.names.size()) + " different devices.</p>\n";
        }
    }
    h += "<h2>Bus load</h2>\n<p>Average " + percent(r.loadAverage) + " of " +
         std::to_string(r.bitRate / 1000) + " kbit/s; busiest second " + percent(r.loadPeak) +
         " at " + utcText(r.peakSecond) + ".</p>\n</body></html>\n";
    return h;
}

std::string reportToText(const HealthReport& r) {
    std::string t = "Coach health report, " + utcText(r.start) + " to " + utcText(r.end) + ", " +
                    std::to_string(r.frames) + " frames\n\nDevices\n";
    for (const auto& d : r.inventory) {
        t += "  " + hex(d.address, 2) + "  " + d.type;
        for (const std::string* s : {&d.make, &d.model, &d.serial}) {
            if (!s->empty()) t += ", " + *s;
        }
        if (const std::string status = inventoryStatus(d); !status.empty()) {
            t += " (" + status + ")";
        }
        t += '\n';
    }
    t += "\nActive faults\n";
    if (r.activeFaults.empty()) t += "  none\n";
    for (const auto& f : r.activeFaults) t += "  " + faultLine(f) + '\n';
    t += "\nPast faults\n";
    if (r.pastFaults.empty()) t += "  none\n";
    for (const auto& f : r.pastFaults) t += "  " + faultLine(f) + '\n';
    if (r.faultsForgotten > 0) t += "  " + forgottenText(r) + '\n';
    t += "\nSilent nodes\n";
    if (r.silentNodes.empty()) t += "  none\n";
    for (const auto& s : r.silentNodes) {
        t += "  " + s.device + ": not heard since " + utcText(s.lastSeen) + " (" + dgnList(s.dgns) +
             ")\n";
    }
    for (const auto& c : r.conflicts) {
        t += "\nAddress " + hex(c.address, 2) + " claimed by " + std::to_string(c.names.size()) +
             " different devices\n";
    }
    t += "\nBus load: average " + percent(r.loadAverage) + " of " +
         std::to_string(r.bitRate / 1000) + " kbit/s, busiest second " + percent(r.loadPeak) +
         " at " + utcText(r.peakSecond) + '\n';
    return t;
}

}  // namespace corvane::health
