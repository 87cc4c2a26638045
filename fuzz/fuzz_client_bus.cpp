// Module requests through the tool's real mailslot: every datagram is written to the client
// bus's socket and taken in by poll(), which reads, size-checks, parses and executes it, with
// the manager and the transmit path behind it (long messages have a target of their own). A
// module slot of the fuzzer's own ("Fz") lets registrations succeed, so filters, removals and
// mode replies are reached.
//
// The input is a sequence of requests, each [selector][length][length bytes]:
//   selector bits 0-4: the request code, from the table below (the last entry: the body's
//                      first byte is the code, so unknown codes are sent too);
//   selector bit 5:    bytes 1-4 become the token of the most recently registered client;
//   length:            how many bytes follow the code (fewer when the input ends first), so
//                      short requests, lying lengths and the 200-byte limit are all reached.
// Besides crashes and sanitizer findings it checks that every message the tool writes to the
// module decodes with the module library, and feeds each request to that decoder as well.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/ClientBus.h"
#include "core/ClientRequest.h"
#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "core/TransmitPath.h"
#include "fuzz/FuzzNetwork.h"
#include "fuzz/FuzzSupport.h"
#include "platform/MailslotServer.h"
#include "platform/MailslotWriter.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RuntimeDir.h"
#include "sdk/ModuleEvent.h"

namespace {

using namespace corvane;
using fuzz::check;

constexpr std::array<uint8_t, 20> kCodes = {
    0x00, 0x01, 0x02, 0x08, 0x09, 0x80, 0x81, 0x82, 0x83, 0x84,
    0x85, 0x86, 0x87, 0xE0, 0xE1, 0xE2, 0xFE, 0xFF, 0x03, 0xE3,
};
constexpr size_t kCodeFromBody = kCodes.size();
constexpr uint8_t kTokenFlag = 0x20;
constexpr size_t kMaxRequestsPerInput = 64;
constexpr size_t kMaxRequest = clientbus::kMaxRequest;

// The runtime folder and the module live as long as the process. The module reads its slot
// on a thread of its own, as a module program does: the bus hands replies on as the module
// takes them, so nothing may wait for the request loop to come round and read.
class Module {
  public:
    Module() {
        char pattern[] = "/tmp/corvane-fuzz-bus-XXXXXX";
        check(mkdtemp(pattern) != nullptr);
        runtime() = pattern;
        setenv("CORVANE_RUNTIME_DIR", pattern, 1);
        // The folder goes when the run ends; the reader's socket needs no path by then.
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(runtime(), ignored);
        });
        slot_ = std::make_unique<MailslotServer>(*mailslotPath(kSlot));
        check(slot_->valid());
        reader_ = std::thread([this] { read(); });
    }
    // Never destroyed: the reader runs until the process ends.
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    static constexpr const char* kSlot = "Fz";

    size_t registrations() const {
        std::lock_guard lock(mutex_);
        return registrations_;
    }
    // The token of registration number `count`, once its reply has come; none when it does not
    // come within a while (it always should).
    std::optional<uint32_t> awaitRegistration(size_t count) {
        std::unique_lock lock(mutex_);
        if (!registered_.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return registrations_ >= count; })) {
            return std::nullopt;
        }
        return token_;
    }

  private:
    static std::string& runtime() {
        static std::string path;
        return path;
    }

    // Every message the tool writes must be one a module understands.
    void read() {
        std::vector<uint8_t> buffer(4096);
        for (;;) {
            if (!slot_->waitReadable(100)) continue;
            while (auto size = slot_->read(buffer)) {
                check(*size <= buffer.size());
                auto event = sdk::decodeEvent(std::span(buffer.data(), *size));
                check(event.has_value());
                if (event->type != sdk::ModuleEvent::Type::Registered) continue;
                std::lock_guard lock(mutex_);
                token_ = event->token;
                ++registrations_;
                registered_.notify_all();
            }
        }
    }

    std::unique_ptr<MailslotServer> slot_;
    mutable std::mutex mutex_;  // guards the two fields below
    std::condition_variable registered_;
    size_t registrations_ = 0;
    uint32_t token_ = 0;
    std::thread reader_;
};

Module& module() {
    static Module* m = new Module;
    return *m;
}

void checkDecoded(std::span<const uint8_t> bytes) {
    auto event = sdk::decodeEvent(bytes);
    if (!event) return;
    check(event->bytes.size() == bytes.size());
    if (event->type == sdk::ModuleEvent::Type::Frame) check(event->data.size() <= 8);
    check(event->data.size() <= bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::DiscardingSink sink;
    SetDebugSink(&sink);
    Module& m = module();
    fuzz::FuzzNetwork net;
    RVCManager& manager = net.manager;
    TransmitPath& transmit = net.transmit;
    fuzz::AdapterEcho echo(net.adapter);
    {
        ClientBus bus(manager, transmit);
        check(bus.valid());
        bus.setEchoControl(&echo);
        manager.setClientDelivery(&bus);
        MailslotWriter tool(bus.slotPath());
        check(tool.valid());

        uint32_t token = 0;
        size_t at = 0;
        size_t requests = 0;
        std::vector<uint8_t> request;
        while (at + 2 <= size && requests++ < kMaxRequestsPerInput) {
            const uint8_t selector = data[at];
            const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
            const uint8_t* body = data + at + 2;
            at += 2 + length;

            request.clear();
            const size_t which = (selector & 0x1F) % (kCodes.size() + 1);
            if (which != kCodeFromBody) request.push_back(kCodes[which]);
            request.insert(request.end(), body, body + length);
            if ((selector & kTokenFlag) && request.size() >= 5) {
                for (int i = 0; i < 4; ++i) request[1 + i] = static_cast<uint8_t>(token >> (8 * i));
            }
            checkDecoded(request);

            // A registration of the module's slot is answered with its token; the next
            // requests may name it.
            const auto name = parseRegistration(request);
            const bool registers = name && *name == Module::kSlot && request.size() < kMaxRequest;
            const size_t before = m.registrations();
            check(tool.write(request));
            bus.poll();
            if (registers) {
                if (auto registered = m.awaitRegistration(before + 1)) token = *registered;
            }
            net.clock.ms += 50;
        }
        (void)bus.report();
        (void)manager.slots();
        manager.setClientDelivery(nullptr);
    }
    return 0;
}
