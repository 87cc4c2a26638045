// Arbitrary bytes as a saved device list (".cvdl") compared with the network. Besides crashes
// and sanitizer findings it checks the comparison against two networks whose answer is known:
// an empty one, where every entry of the file is reported missing, and one rebuilt from the
// file's own entries (a node and a device per entry), which must match the file exactly - and
// whose export must match it too.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/DeviceListFile.h"
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/RvcMessage.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr std::string_view kPath = "saved.cvdl";
constexpr std::string_view kMatch = "Comparing saved.cvdl\r\nDevice Lists Match.";
// Rebuilt networks use addresses 0-199, one per entry: none of them is the "none found" 0xFF.
constexpr size_t kMaxRebuilt = 200;

size_t count(std::string_view text, std::string_view word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        ++n;
    }
    return n;
}

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using fuzz::check;
    const std::span<const uint8_t> file(data, size);

    std::vector<DeviceListEntry> entries;
    size_t position = 0;
    std::string line;
    while (ReadDeviceListLine(file, position, line)) {
        check(position <= size);
        for (char c : line) check(c >= 16 && c != '\n');
        if (auto entry = ParseDeviceListLine(line)) {
            check(entry->make.find('*') == std::string::npos);
            check(entry->model.find('*') == std::string::npos);
            entries.push_back(std::move(*entry));
        }
    }

    fuzz::StepClock clock;
    const std::string path(kPath);
    const DeviceTable empty(clock);
    const std::string missing = CompareDeviceListText(path, file, empty);
    check(missing.rfind("Comparing saved.cvdl\r\n", 0) == 0);
    check(count(missing, "\r\nMissing: ") == entries.size());
    check(count(missing, "\r\nExtra  : ") == 0);
    check(entries.empty() == (missing == kMatch));

    if (entries.size() > kMaxRebuilt) return 0;
    DeviceTable rebuilt(clock);
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto sa = static_cast<uint8_t>(i);
        const std::string productId = entries[i].make + "*" + entries[i].model + "*1*2*";
        auto node = makeMessage(dgn::kProductId, sa, bytesOf(productId));
        if (!node) return 0;  // a line too long for a PRODUCT_ID: no such network
        rebuilt.update(*node);
        const uint8_t status[8] = {0x05, entries[i].dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        rebuilt.update(*makeMessage(dgn::kDmRv, sa, status));
    }
    check(rebuilt.deviceCount() == entries.size());
    check(CompareDeviceListText(path, file, rebuilt) == kMatch);
    const std::string exported = DeviceListText(rebuilt, "Created: now\r\n");
    check(CompareDeviceListText(path, bytesOf(exported), rebuilt) == kMatch);
    return 0;
}
