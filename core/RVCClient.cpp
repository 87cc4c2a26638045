#include "core/RVCClient.h"

#include <cstdio>

namespace corvane {

RVCClient::RVCClient(std::string slotName, uint16_t clientId, MailslotWriter slot)
    : slot_(std::move(slot)), slotName_(std::move(slotName)), clientId_(clientId) {}

bool RVCClient::write(std::span<const uint8_t> message) const { return slot_.write(message); }

bool RVCClient::writeFrame(const RvcFrame& frame) const {
    RvcFrame out = frame;
    // A length above 8 would announce bytes that are not there.
    out.length = static_cast<uint16_t>(heldBytes(frame));
    return write(
        std::span(reinterpret_cast<const uint8_t*>(&out), RvcFrame::kHeaderSize + out.length));
}

bool RVCClient::writeMessage(const RvcMessage& message) const {
    return write(std::span(reinterpret_cast<const uint8_t*>(&message), message.wireSize()));
}

bool RVCClient::hasFilterId_locked(uint16_t id) const {
    return rawFilters_.count(id) != 0 || cookedFilters_.count(id) != 0;
}

void RVCClient::addRawFilter_locked(std::unique_ptr<RVCFilter> filter) {
    uint16_t id = filter->filterId();
    rawFilters_[id] = std::move(filter);
}

void RVCClient::addCookedFilter_locked(std::unique_ptr<RVCFilter> filter) {
    uint16_t id = filter->filterId();
    cookedFilters_[id] = std::move(filter);
}

void RVCClient::sendNotice(const RVCFilter& filter) const {
    if (!slot_.valid()) return;
    write(filter.removalNotice());
}

size_t RVCClient::removeMatching_locked(std::span<const uint8_t> request) {
    size_t removed = 0;
    for (FilterMap* map : {&rawFilters_, &cookedFilters_}) {
        for (auto it = map->begin(); it != map->end();) {
            if (it->second->matchesRemoval(request)) {
                sendNotice(*it->second);
                it = map->erase(it);
                ++removed;
            } else {
                ++it;
            }
        }
    }
    return removed;
}

void RVCClient::destroy_locked() {
    for (FilterMap* map : {&rawFilters_, &cookedFilters_}) {
        for (const auto& [id, filter] : *map) sendNotice(*filter);
        map->clear();
    }
    slot_.close();
}

void RVCClient::offerRaw_locked(const RvcFrame& frame) const {
    for (const auto& [id, filter] : rawFilters_) {
        if (filter->offer(frame)) {
            writeFrame(frame);
            return;
        }
    }
}

void RVCClient::offerCooked_locked(const RvcMessage& message) const {
    for (const auto& [id, filter] : cookedFilters_) {
        if (filter->offer(message)) {
            writeMessage(message);
            return;
        }
    }
}

std::string RVCClient::report_locked() const {
    char line[160];
    std::snprintf(line, sizeof line, "Client ID: %04X  Slot: %s  Handle: %08X\r\n",
                  unsigned{clientId_}, slotName_.c_str(), token());
    std::string text = line;
    auto list = [&](const char* heading, const FilterMap& map) {
        text += heading;
        for (const auto& [id, filter] : map) {
            std::snprintf(line, sizeof line, "    %04X ", unsigned{id});
            text += line;
            text += filter->report();
        }
    };
    list("  Raw Filters\r\n", rawFilters_);
    list("  Cooked Filters\r\n", cookedFilters_);
    return text;
}

}  // namespace corvane
