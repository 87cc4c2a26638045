#include "tests/faults/FaultRig.h"

#include <gtest/gtest.h>

#include <QMetaObject>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <vector>

#include "app/DeviceListBox.h"

namespace corvane::test {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

FaultRig::FaultRig(Options options) {
    ensureApplication();
    if (options.ownVexor) {
        vehicle_ = std::make_unique<sim::SimulatedVehicle>();
        sim::VexorEmulator::Options emulator;
        emulator.loadFramesPerSecond = options.busLoad;
        vexor_ = std::make_unique<sim::VexorEmulator>(*vehicle_, emulator);
        EXPECT_TRUE(vexor_->start());
    }
    StartOptions start;
    start.debugPort = true;
    start.debugPortNumber = 0;  // any free port: suites run side by side
    start.demo = options.demo;
    if (vexor_) start.serialPort = vexor_->path();
    core_.start(start, options.settings);

    notifier_.setShower(
        [this](const std::string& text, const std::string& title) { messages.add(text, title); });
    core_->notifier().route(&notifier_);
    parts_ = std::make_unique<MainWindowParts>(core_.core(), folder_.path().toStdString());
    window_ = std::make_unique<CCorvaneDlg>(parts_->services(), notifier_);
    window_->show();
}

FaultRig::~FaultRig() {
    core_->notifier().route(nullptr);
    window_.reset();
    parts_.reset();
    core_.stop();
    vexor_.reset();
}

int64_t FaultRig::framesTaken() {
    AddressStats s = core_->manager().networkStats();
    return static_cast<int64_t>(s.total) + s.count;
}

bool FaultRig::framesFlowing(std::chrono::milliseconds within) {
    const int64_t before = framesTaken();
    return pumpUntil([&] { return framesTaken() > before + 10; }, within);
}

int FaultRig::rows() const { return window_->deviceList().count(); }

std::string FaultRig::askDebugPort(const std::string& command, std::chrono::milliseconds limit) {
    auto answer = std::async(std::launch::async, [port = debugPort(), command, limit] {
        DebugClient client(port);
        client.send(command + "\r\n?\r\n");
        client.readUntil("Available Commands", limit);
        return client.received;
    });
    pumpUntil([&] { return answer.wait_for(0s) == std::future_status::ready; }, limit + 1000ms);
    return answer.get();
}

void FaultRig::expectStillAnswering(size_t minDevices) {
    SCOPED_TRACE("the tool after the fault");
    bool ran = false;
    QMetaObject::invokeMethod(
        window_.get(), [&ran] { ran = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(pumpUntil([&] { return ran; }, 1000ms)) << "the window takes no events";
    const int ticks = core_->duties().counter();
    EXPECT_TRUE(pumpUntil([&] { return core_->duties().counter() != ticks; }, 1000ms))
        << "the window's timer stopped";
    // A connection just made lists its nodes as they identify themselves: within about
    // four seconds on the simulated vehicle.
    EXPECT_TRUE(pumpUntil([&] { return rows() >= static_cast<int>(minDevices); }, 6000ms))
        << rows() << " rows";

    auto answer = std::async(std::launch::async, askDevs, debugPort(), 3000ms);
    pumpUntil([&] { return answer.wait_for(0s) == std::future_status::ready; }, 4000ms);
    std::optional<std::vector<std::string>> devices = answer.get();
    ASSERT_TRUE(devices.has_value()) << "the debug port does not answer \"devs\"";
    EXPECT_GE(devices->size(), minDevices);
}

}  // namespace corvane::test
