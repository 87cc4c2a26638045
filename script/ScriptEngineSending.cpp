#include "script/ScriptEngine.h"

#include <ctime>
#include <optional>

#include "core/DeviceTable.h"
#include "core/RVCManager.h"
#include "core/RvcMessage.h"
#include "core/RvcSendFromRequest.h"
#include "core/RvcSendRequest.h"
#include "core/TransmitPath.h"
#include "script/ScriptMessages.h"
#include "script/ScriptText.h"

namespace corvane {

// Targeting and sending: the commands that choose a node and put messages on the bus.

namespace {

constexpr uint32_t kRequestDgn = 0xEA00 + 0xFF;  // a request addressed to every node
constexpr uint32_t kDateTimeCommandDgn = 0x1FFFE;

}  // namespace

void ScriptEngine::Target(std::string_view arguments) {
    if (arguments.find('"') != std::string_view::npos) {
        const std::string_view wanted = TextBetween(arguments, '"', '"');
        if (!wanted.empty() && network_.devices != nullptr) {
            const DeviceTable& table = *network_.devices;
            for (const auto& device : table.devices()) {
                const RVCNode node = table.findNode(device.sa);
                if (node.make.find(wanted) != std::string::npos ||
                    node.model.find(wanted) != std::string::npos) {
                    state_.target = node.address;
                }
            }
        }
    } else if (arguments.find('[') != std::string_view::npos) {
        state_.target = static_cast<uint8_t>(ParseDecimal(SubstituteTags(arguments)));
    } else {
        state_.target = static_cast<uint8_t>(ParseHex(arguments));
    }
    window_.ShowTarget(state_.target);
}

void ScriptEngine::FindTarget(bool first) {
    const std::vector<bool> present = NodeAddresses();
    if (first) {
        // No node anywhere leaves 0xFF, as FINDNEXTTARGET does past the last node.
        state_.target = 0xFF;
        for (unsigned address = 0; address < 0xFF; ++address) {
            if (present[address]) {
                state_.target = static_cast<uint8_t>(address);
                break;
            }
        }
    } else if (state_.target != 0xFF) {
        do {
            ++state_.target;
        } while (state_.target != 0xFF && !present[state_.target]);
    }
    window_.ShowTarget(state_.target);
}

void ScriptEngine::ResetDeviceList() {
    if (network_.devices == nullptr) return;
    network_.devices->clear();
    if (network_.adapterSelected && network_.adapterSelected()) network_.devices->addToolEntries();
}

void ScriptEngine::Send(std::string_view arguments) {
    const ScriptMessage message = ParseSendArguments(arguments, state_.target);
    if (!message.error.empty()) {
        window_.AppendLine(message.error);
        return;
    }
    if (network_.transmit == nullptr) return;
    if (state_.source == 0xFF) {
        if (auto request = makeSendRequest(message.dgn, state_.priority, message.data)) {
            network_.transmit->sendRequest(*request);
        }
    } else if (auto request =
                   makeSendFromRequest(state_.source, message.dgn, state_.priority, message.data)) {
        network_.transmit->sendFromRequest(*request);
    }
}

void ScriptEngine::Request(std::string_view arguments) {
    const uint32_t requested = ParseHex(arguments);
    const uint8_t data[8] = {static_cast<uint8_t>(requested),
                             static_cast<uint8_t>(requested >> 8),
                             static_cast<uint8_t>(requested >> 16),
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF,
                             0xFF};
    if (network_.transmit == nullptr) return;
    if (auto request = makeSendRequest(kRequestDgn, 6, data)) {
        network_.transmit->sendRequest(*request);
    }
}

void ScriptEngine::SetCurTime() {
    const std::optional<std::tm> local = clock_.localNow();
    if (!local || network_.transmit == nullptr) return;
    const uint8_t data[8] = {
        static_cast<uint8_t>(local->tm_year % 100), static_cast<uint8_t>(local->tm_mon + 1),
        static_cast<uint8_t>(local->tm_mday),       static_cast<uint8_t>(local->tm_wday + 1),
        static_cast<uint8_t>(local->tm_hour),       static_cast<uint8_t>(local->tm_min),
        static_cast<uint8_t>(local->tm_sec),        0xFF};
    if (auto request = makeSendRequest(kDateTimeCommandDgn, 5, data)) {
        network_.transmit->sendRequest(*request);
    }
}

void ScriptEngine::SimRx(std::string_view arguments) {
    const ScriptMessage message = ParseSimRxArguments(arguments);
    if (!message.error.empty()) {
        window_.AppendLine(message.error);
        return;
    }
    const auto built = makeMessage(message.dgn, message.source, message.data);
    if (!built) return;
    if (network_.manager != nullptr) {
        network_.manager->dispatchMessage(*built);
    } else {
        // Without a network the script's own datums still see what it simulates.
        variables_.offer(*built);
    }
}

}  // namespace corvane
