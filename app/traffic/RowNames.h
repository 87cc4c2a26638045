#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/traffic/TrafficRow.h"
#include "core/RVCNode.h"
#include "platform/SettingsStore.h"

namespace corvane {

// The names a technician gives rows of the traffic window ("Galley light"), saved per coach.
//
// A coach is known by its devices' identity: the make, model and serial number of the
// product-identified node with the lowest address (coachOf). Addresses on a coach are fixed by
// device type, so the same coach gives the same key on every visit, whatever adapter is used.
// Until a node has said who it is the names go under "unidentified coach".
//
// The key settles as nodes identify themselves, so names given on the way follow it (follow):
// a name given in this run while the coach was unidentified, or known by a node that has since
// been outranked by a lower address that identified itself beside it, moves to the coach's
// settled key. Only such names move, and never over a name the coach already has; a coach
// that changes in any other way (another adapter, another coach) takes nothing along.
//
// Names live in the settings, section "Traffic Names <coach>", keyed by RowKey::text().
// Used on the user-interface thread only; lookups are cached, so showing 100,000 rows does
// not read the settings 100,000 times. The cache holds at most kMaxCached keys (more than the
// messages and values the window keeps), and a name returned is good until the next call.
class RowNames {
  public:
    static constexpr const char* kUnidentified = "unidentified coach";
    static constexpr size_t kMaxCached = size_t{1} << 18;

    explicit RowNames(SettingsStore& store) : store_(store) {}

    // The coach key of a network's nodes:
    //   {0x44 "Acme" "X1" "SN7", 0x42 "Volt" "Inv 2" "A-1"} -> "Volt Inv 2 A-1"
    //   no node with a serial number -> kUnidentified
    static std::string coachOf(const std::vector<RVCNode>& nodes);

    // Switches to the coach `nodes` name, taking along the names given while it was not yet
    // settled (see above); true when the coach changed.
    bool follow(const std::vector<RVCNode>& nodes);
    // Switches to another coach's names, taking nothing along; true when it changed.
    bool setCoach(const std::string& coach);
    const std::string& coach() const { return coach_; }

    // The name given to a row, empty for none.
    const std::string& nameOf(const RowKey& key) const;
    // Gives (or, with an empty name, takes away) a row's name and saves it.
    void setName(const RowKey& key, const std::string& name);

  private:
    static std::string sectionOf(const std::string& coach);
    // Moves the names given in this run to `coach`'s section where it has none.
    void carryNamesTo(const std::string& coach);

    SettingsStore& store_;
    std::string coach_ = kUnidentified;
    std::optional<RVCNode> coachNode_;  // the node that names coach_, when one does
    std::set<RowKey> givenThisRun_;     // named under coach_ (or carried to it) in this run
    mutable std::map<RowKey, std::string> cache_;  // every key looked up, named or not
};

}  // namespace corvane
