// Arbitrary texts as frame messages from the cloud relay: parsed against the tool's one-time
// code and, when they hold a frame, taken in by the manager as the cloud adapter does, with
// long messages and the device table behind it. Besides crashes and sanitizer findings it
// checks what a frame read from a message may be: kind 3, priority 7, 1 to 8 data bytes and
// the time stamp it was given.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "adapters/CloudWireFormat.h"
#include "core/DeviceTable.h"
#include "core/LongMessages.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "core/TransportStage.h"
#include "fuzz/FuzzNetwork.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MemorySettingsStore.h"

namespace {

// The code the seed messages carry; the fuzzer finds others by mutating them.
constexpr int32_t kOtc = 4242;
constexpr uint32_t kTimestamp = 0x12345678;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using fuzz::check;
    static fuzz::DiscardingSink sink;
    SetDebugSink(&sink);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const FrameMessage message = parseFrameMessage(text, kOtc, kTimestamp);
    // An empty code box accepts code 0: the same text read that way must not fail either.
    (void)parseFrameMessage(text, 0, 0);
    if (message.status != FrameMessage::Status::kFrame) return 0;

    const RvcFrame& f = message.frame;
    check(f.kind == RvcFrame::kKind && f.priority == 7 && f.reserved == 0);
    check(f.length >= 1 && f.length <= 8 && f.timestamp == kTimestamp);

    fuzz::FuzzNetwork net;
    RVCManager& manager = net.manager;
    manager.setTransportStage(&net.stage);
    manager.intake(f);
    manager.statisticsStep();
    check(manager.networkStats().last == 1);
    return 0;
}
