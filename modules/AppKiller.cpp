#include "modules/AppKiller.h"

#include "platform/Shell.h"

namespace corvane {

AppKiller::AppKiller(Shell& shell, ClientCount clientCount)
    : shell_(shell), clientCount_(std::move(clientCount)) {}

void AppKiller::add(const std::string& name) {
    std::lock_guard lock(mutex_);
    names_.push_back(name);
}

std::vector<std::string> AppKiller::names() const {
    std::lock_guard lock(mutex_);
    return names_;
}

void AppKiller::killAll() {
    if (!clientCount_ || clientCount_() == 0) return;
    for (const auto& name : names()) shell_.killImage(name);
}

std::string AppKiller::report() const {
    std::string text = "AppKiller Report\n\r";
    for (const auto& name : names()) text += name + "\n\r";
    return text;
}

}  // namespace corvane
