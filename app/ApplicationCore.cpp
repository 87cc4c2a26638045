#include "app/ApplicationCore.h"

namespace corvane {

ApplicationCore::ApplicationCore(SettingsStore& settings, const Clock& clock)
    : settings_(settings), table_(clock), manager_(settings, table_), duties_(manager_, table_) {}

ApplicationCore::~ApplicationCore() {
    // The vehicle's thread feeds the manager: stop it before the manager goes.
    if (demo_) demo_->stop();
}

void ApplicationCore::startDemo() {
    demo_ = std::make_unique<sim::LiveVehicle>();
    demo_->start([this](const RvcFrame& frame) { manager_.intake(frame); });
}

}  // namespace corvane
