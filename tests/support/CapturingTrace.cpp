#include "tests/support/CapturingTrace.h"

namespace corvane::test {

CapturingTrace::CapturingTrace() { SetDebugSink(this); }
CapturingTrace::~CapturingTrace() { SetDebugSink(nullptr); }

void CapturingTrace::write(std::string_view text) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(text);
}

std::vector<std::string> CapturingTrace::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string CapturingTrace::all() const {
    std::lock_guard lock(mutex_);
    std::string s;
    for (const auto& l : lines_) s += l;
    return s;
}

bool CapturingTrace::contains(std::string_view text) const {
    return all().find(text) != std::string::npos;
}

}  // namespace corvane::test
