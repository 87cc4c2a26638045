#include "tests/support/TestCore.h"

namespace corvane::test {

ApplicationCore& TestCore::start(const StartOptions& options, SettingsStore* store) {
    core_.reset();
    core_ = std::make_unique<ApplicationCore>(store ? *store : settings, clock, options);
    core_->startNetwork();
    return *core_;
}

}  // namespace corvane::test
