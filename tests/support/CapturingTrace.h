#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "debugport/DebugPrint.h"

namespace corvane::test {

// Installs itself as the process-wide trace sink for its lifetime and keeps every line.
class CapturingTrace final : public DebugSink {
  public:
    CapturingTrace();
    ~CapturingTrace() override;
    CapturingTrace(const CapturingTrace&) = delete;
    CapturingTrace& operator=(const CapturingTrace&) = delete;

    void write(std::string_view text) override;
    std::vector<std::string> lines() const;
    std::string all() const;
    bool contains(std::string_view text) const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace corvane::test
