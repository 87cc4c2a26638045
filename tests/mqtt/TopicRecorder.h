#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "mqtt/MqttClient.h"

namespace corvane::test {

// A subscriber for tests: subscribes to `pattern` on a broker and keeps the last payload of
// every topic, how many messages each brought and when the first came. Any thread may read it; the
// client's network thread writes it (mutex_).
class TopicRecorder {
  public:
    struct Login {
        std::string caFile;
        std::string username;
        std::string password;
    };
    explicit TopicRecorder(const std::string& url, const std::string& pattern = "#",
                           const Login& login = {});
    ~TopicRecorder() { client_.stop(); }

    bool connected() const { return client_.connected(); }
    std::optional<std::string> last(const std::string& topic) const;
    int count(const std::string& topic) const;
    // How many messages had come before the first on `topic`; -1 while none came.
    int firstArrival(const std::string& topic) const;
    // Every topic starting with `prefix` whose last payload is not empty.
    std::map<std::string, std::string> under(const std::string& prefix) const;
    mqtt::MqttClient& client() { return client_; }

  private:
    mqtt::MqttClient client_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> last_;
    std::map<std::string, int> counts_;
    std::map<std::string, int> first_;
    int total_ = 0;
};

}  // namespace corvane::test
