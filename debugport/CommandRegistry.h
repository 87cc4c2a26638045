#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "debugport/Command.h"

namespace corvane {

// Keyword -> command, exact and case-sensitive. Commands may be added from any thread while
// the listener runs one: a command being executed is kept alive by the listener's reference
// even if it is replaced or the registry is cleared meanwhile.
class CommandRegistry {
  public:
    // A later command under the same keyword replaces the earlier one.
    void add(const std::string& keyword, std::unique_ptr<Command> command);
    std::shared_ptr<Command> find(const std::string& keyword) const;
    // In the registry's own (sorted) order.
    std::vector<std::string> keywords() const;
    void clear();

  private:
    mutable std::mutex mutex_;  // guards commands_
    std::map<std::string, std::shared_ptr<Command>> commands_;
};

}  // namespace corvane
