#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace corvane::mqtt {

// What waits to be published, one entry per topic: the latest value wins. A topic is offered
// its content (what decides whether anything changed) and the payload to send; an unchanged
// content is not sent again. A topic is sent at most once per `minInterval`, and a value
// offered in between goes out when the interval is over. While the broker is away everything
// stays pending, and on reconnection everything goes out again (the broker may have lost what
// was sent into the dying connection).
//
// Each topic is of a kind, and due() lists discovery before state before decoded values, so
// that a subscriber such as Home Assistant learns of an entity before its first state. At most
// `maxValueTopics` topics of decoded values are kept; a new one past that is dropped and
// counted. Discovery and state topics are bounded by the device table and always kept.
//
// Pure and not thread-safe: times are the caller's (microseconds); one thread owns it.
class TopicOutbox {
  public:
    enum class Kind { Discovery, State, Value };
    struct Message {
        std::string topic;
        std::string payload;
        int qos = 0;
        bool retain = false;
        Kind kind = Kind::Value;
    };

    TopicOutbox(int64_t minIntervalMicros, size_t maxValueTopics)
        : minInterval_(minIntervalMicros), maxValueTopics_(maxValueTopics) {}

    // False when the content is what was offered last (nothing to send) or the outbox is full.
    bool offer(const std::string& topic, std::string content, std::string payload, int qos,
               bool retain, Kind kind = Kind::Value);
    // The pending messages whose interval is over at `now`, marked sent: discovery first, then
    // state, then values, each in topic order.
    std::vector<Message> due(int64_t now);
    // Puts a message back (it could not be sent, or a subscriber needs it again); it goes out
    // with the next due(), whatever its interval.
    void unsent(const std::string& topic);
    // Every topic goes out again with the next due() (a new connection).
    void resendAll();
    // Forgets a topic (its entity is gone).
    void forget(const std::string& topic);

    bool contains(const std::string& topic) const { return entries_.contains(topic); }
    size_t pending() const;
    size_t size() const { return entries_.size(); }
    uint64_t dropped() const { return dropped_; }

  private:
    struct Entry {
        std::string content;
        std::string payload;
        int qos = 0;
        bool retain = false;
        Kind kind = Kind::Value;
        bool pending = false;
        bool everSent = false;
        int64_t lastSent = 0;
    };
    int64_t minInterval_;
    size_t maxValueTopics_;
    std::map<std::string, Entry> entries_;
    size_t valueTopics_ = 0;
    uint64_t dropped_ = 0;
};

}  // namespace corvane::mqtt
