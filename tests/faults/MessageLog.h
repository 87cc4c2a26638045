#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace corvane::test {

// Messages the user would have seen as message boxes, from any thread.
class MessageLog {
  public:
    void add(const std::string& text, const std::string& title);
    std::vector<std::pair<std::string, std::string>> shown() const;
    // How many messages hold `part` in their text.
    size_t count(const std::string& part) const;
    std::string all() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> shown_;
};

}  // namespace corvane::test
