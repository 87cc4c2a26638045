#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace corvane::mqtt {

// Every coach a broker knows of, from the retained topics the bridges publish under
// "corvane/<coach>/": status, devices, faults, health. Pure and not thread-safe; the caller
// feeds it messages in the order they came.
class FleetView {
  public:
    struct Row {
        std::string coach;
        bool online = false;
        size_t devices = 0;
        size_t faults = 0;
        double busLoad = 0;                   // average, %
        std::vector<std::string> faultTexts;  // "Water heater at 5A: ..." per active fault
    };

    // Takes one message; false (and nothing changed) when it is not a coach topic the view
    // reads, not JSON, or a value in it is not of its type.
    bool take(std::string_view topic, std::string_view payload);

    // By coach id.
    std::vector<Row> rows() const;
    size_t coaches() const { return coaches_.size(); }

    // One line per coach under a heading, columns aligned.
    std::string toText() const;
    // [{"coach": "c1", "online": true, "devices": 5, "active_faults": 1, "bus_load_percent": 3.2,
    //   "faults": ["..."]}, ...]
    nlohmann::ordered_json toJson() const;
    // One coach's row as above; null for a coach not seen.
    nlohmann::ordered_json rowJson(std::string_view coach) const;

  private:
    std::map<std::string, Row> coaches_;
};

}  // namespace corvane::mqtt
