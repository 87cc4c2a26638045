#include "mqtt/TopicOutbox.h"

#include <algorithm>

namespace corvane::mqtt {

bool TopicOutbox::offer(const std::string& topic, std::string content, std::string payload, int qos,
                        bool retain, Kind kind) {
    auto it = entries_.find(topic);
    if (it == entries_.end()) {
        if (kind == Kind::Value && valueTopics_ >= maxValueTopics_) {
            ++dropped_;
            return false;
        }
        it = entries_.emplace(topic, Entry{}).first;
        it->second.kind = kind;
        if (kind == Kind::Value) ++valueTopics_;
    } else if (it->second.content == content) {
        return false;
    }
    Entry& e = it->second;
    e.content = std::move(content);
    e.payload = std::move(payload);
    e.qos = qos;
    e.retain = retain;
    e.pending = true;
    return true;
}

std::vector<TopicOutbox::Message> TopicOutbox::due(int64_t now) {
    std::vector<Message> out;
    for (auto& [topic, e] : entries_) {
        if (!e.pending) continue;
        if (e.everSent && now - e.lastSent < minInterval_) continue;
        out.push_back({topic, e.payload, e.qos, e.retain, e.kind});
        e.pending = false;
        e.everSent = true;
        e.lastSent = now;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Message& a, const Message& b) { return a.kind < b.kind; });
    return out;
}

void TopicOutbox::unsent(const std::string& topic) {
    if (auto it = entries_.find(topic); it != entries_.end()) {
        it->second.pending = true;
        it->second.everSent = false;
    }
}

void TopicOutbox::resendAll() {
    for (auto& [topic, e] : entries_) {
        e.pending = true;
        e.everSent = false;
    }
}

void TopicOutbox::forget(const std::string& topic) {
    const auto it = entries_.find(topic);
    if (it == entries_.end()) return;
    if (it->second.kind == Kind::Value) --valueTopics_;
    entries_.erase(it);
}

size_t TopicOutbox::pending() const {
    size_t n = 0;
    for (const auto& [topic, e] : entries_) n += e.pending ? 1 : 0;
    return n;
}

}  // namespace corvane::mqtt
