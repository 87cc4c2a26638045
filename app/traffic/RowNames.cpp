#include "app/traffic/RowNames.h"

#include <algorithm>

namespace corvane {

namespace {

// The identified node with the lowest address, null for none.
const RVCNode* coachNodeOf(const std::vector<RVCNode>& nodes) {
    const RVCNode* first = nullptr;
    for (const RVCNode& node : nodes) {
        if (node.serialNumber.empty()) continue;
        if (first == nullptr || node.address < first->address) first = &node;
    }
    return first;
}

bool sameNode(const RVCNode& a, const RVCNode& b) {
    return a.address == b.address && a.make == b.make && a.model == b.model &&
           a.serialNumber == b.serialNumber;
}

}  // namespace

std::string RowNames::coachOf(const std::vector<RVCNode>& nodes) {
    const RVCNode* first = coachNodeOf(nodes);
    if (first == nullptr) return kUnidentified;
    return first->make + " " + first->model + " " + first->serialNumber;
}

bool RowNames::follow(const std::vector<RVCNode>& nodes) {
    const RVCNode* node = coachNodeOf(nodes);
    const std::string coach = coachOf(nodes);
    if (coach == coach_) {
        if (node != nullptr) coachNode_ = *node;
        return false;
    }
    // The same coach, better known: it was nobody yet, or the node that named it is still
    // there and a lower address has joined it.
    const bool settling =
        node != nullptr &&
        (coach_ == kUnidentified ||
         (coachNode_ && std::any_of(nodes.begin(), nodes.end(), [this](const RVCNode& n) {
              return sameNode(n, *coachNode_);
          })));
    std::set<RowKey> carried;
    if (settling) {
        carryNamesTo(coach);
        carried.swap(givenThisRun_);
    }
    setCoach(coach);
    givenThisRun_ = std::move(carried);
    coachNode_ = node != nullptr ? std::optional<RVCNode>(*node) : std::nullopt;
    return true;
}

void RowNames::carryNamesTo(const std::string& coach) {
    const std::string from = sectionOf(coach_);
    const std::string to = sectionOf(coach);
    for (auto it = givenThisRun_.begin(); it != givenThisRun_.end();) {
        const std::string key = it->text();
        const std::string name = store_.readString(from, key).value_or("");
        if (name.empty() || !store_.readString(to, key).value_or("").empty()) {
            it = givenThisRun_.erase(it);  // nothing to carry, or the coach names it already
            continue;
        }
        store_.writeString(to, key, name);
        store_.writeString(from, key, "");
        ++it;
    }
}

bool RowNames::setCoach(const std::string& coach) {
    if (coach == coach_) return false;
    coach_ = coach;
    coachNode_.reset();
    givenThisRun_.clear();
    cache_.clear();
    return true;
}

std::string RowNames::sectionOf(const std::string& coach) {
    // Settings sections nest at '/' and '\\': those would split one coach into several.
    std::string name = "Traffic Names " + coach;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '\\'; }, '_');
    return name;
}

const std::string& RowNames::nameOf(const RowKey& key) const {
    auto found = cache_.find(key);
    if (found == cache_.end()) {
        // More keys than the window can show at once: a bus of ever new identifiers.
        if (cache_.size() >= kMaxCached) cache_.clear();
        found = cache_.emplace(key, store_.readString(sectionOf(coach_), key.text()).value_or(""))
                    .first;
    }
    return found->second;
}

void RowNames::setName(const RowKey& key, const std::string& name) {
    store_.writeString(sectionOf(coach_), key.text(), name);
    cache_[key] = name;
    givenThisRun_.insert(key);
}

}  // namespace corvane
