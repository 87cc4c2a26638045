#include "debugport/CommandRegistry.h"

namespace corvane {

void CommandRegistry::add(const std::string& keyword, std::unique_ptr<Command> command) {
    std::lock_guard lock(mutex_);
    commands_[keyword] = std::move(command);
}

std::shared_ptr<Command> CommandRegistry::find(const std::string& keyword) const {
    std::lock_guard lock(mutex_);
    auto it = commands_.find(keyword);
    return it == commands_.end() ? nullptr : it->second;
}

std::vector<std::string> CommandRegistry::keywords() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& [keyword, command] : commands_) names.push_back(keyword);
    return names;
}

void CommandRegistry::clear() {
    std::lock_guard lock(mutex_);
    commands_.clear();
}

}  // namespace corvane
