#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "health/HealthReport.h"

namespace corvane::health {

// One fault in a sentence, its times written by `timeText`:
//   "Red lamp on. SPN 168 (battery potential) - FMI 1: Data valid but below normal operational
//    range - most severe level - seen 3 times, first 14:02:11, last 14:05:40"
// and for a past fault ", cleared 14:06:10" after it.
std::string faultSentence(const HealthReport::Fault& fault,
                          const std::function<std::string(int64_t)>& timeText);

// The report as JSON: {"span": {...}, "inventory": [...], "faults": {"active": [...], "past":
// [...], "forgotten": N}, "silent_nodes": [...], "address_conflicts": [...], "bus_load":
// {...}}, as docs/report.schema.json describes it. Times are given both as microseconds since
// 1970 and as UTC text; addresses as numbers and as hex.
nlohmann::ordered_json reportToJson(const HealthReport& report);

// reportToJson's text, indented, with a newline at the end; never throws.
std::string reportToJsonText(const HealthReport& report);

// The report as one self-contained HTML page: styles inline, no scripts, no images, no links
// out, laid out to print on A4 or letter.
std::string reportToHtml(const HealthReport& report);

// The report as plain text for a terminal.
std::string reportToText(const HealthReport& report);

}  // namespace corvane::health
