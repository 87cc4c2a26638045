#include "tests/mqtt/TopicRecorder.h"

namespace corvane::test {

TopicRecorder::TopicRecorder(const std::string& url, const std::string& pattern,
                             const Login& login) {
    client_.onMessage([this](const std::string& topic, const std::string& payload, bool) {
        std::lock_guard lock(mutex_);
        last_[topic] = payload;
        ++counts_[topic];
        first_.try_emplace(topic, total_++);
    });
    client_.subscribe(pattern, 1);
    mqtt::MqttClient::Options o;
    o.url = *mqtt::parseMqttUrl(url).url;
    o.caFile = login.caFile;
    o.username = login.username;
    o.password = login.password;
    std::string error;
    client_.start(o, error);
}

std::optional<std::string> TopicRecorder::last(const std::string& topic) const {
    std::lock_guard lock(mutex_);
    const auto it = last_.find(topic);
    if (it == last_.end()) return std::nullopt;
    return it->second;
}

int TopicRecorder::count(const std::string& topic) const {
    std::lock_guard lock(mutex_);
    const auto it = counts_.find(topic);
    return it == counts_.end() ? 0 : it->second;
}

int TopicRecorder::firstArrival(const std::string& topic) const {
    std::lock_guard lock(mutex_);
    const auto it = first_.find(topic);
    return it == first_.end() ? -1 : it->second;
}

std::map<std::string, std::string> TopicRecorder::under(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    std::map<std::string, std::string> out;
    for (const auto& [t, p] : last_) {
        if (t.starts_with(prefix) && !p.empty()) out.emplace(t, p);
    }
    return out;
}

}  // namespace corvane::test
