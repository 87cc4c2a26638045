#include "core/DeviceTable.h"

#include <algorithm>
#include <string_view>

#include "core/Dgn.h"
#include "core/DiagnosticStatus.h"
#include "core/ProductId.h"

namespace corvane {

namespace {

constexpr int64_t kNodeLifetimeSeconds = 60;
constexpr int64_t kDeviceLifetimeSeconds = 15;
constexpr std::string_view kToolProductId = "Tindrel Electronics,Inc.*Service Tool***";

}  // namespace

DeviceTable::DeviceTable(const Clock& clock) : clock_(clock) {
    placeholder_.address = kGlobalAddress;
    placeholder_.make = placeholder_.model = placeholder_.serialNumber = placeholder_.idNumber =
        kNotFound;
    placeholder_.updated = clock_.epochSeconds();
}

void DeviceTable::update(const RvcMessage& message) {
    const bool productId = message.dgn == dgn::kProductId;
    const bool diagnostic =
        message.dgn == dgn::kDmRv ||
        (message.dgn == dgn::kDm1 && supportLegacyDM1_.load(std::memory_order_relaxed));
    if (!productId && !diagnostic) return;

    const int64_t now = clock_.epochSeconds();
    std::lock_guard lock(mutex_);
    if (productId) {
        updateProductIdLocked(message, now);
    } else {
        updateDiagnosticLocked(message, now);
    }
}

void DeviceTable::updateProductIdLocked(const RvcMessage& message, int64_t now) {
    std::string_view text(reinterpret_cast<const char*>(message.data), message.length);
    // The placeholder's address 0xFF means "none found": a PRODUCT_ID from 0xFF always adds.
    auto it = std::find_if(nodes_.begin(), nodes_.end(),
                           [&](const RVCNode& n) { return n.address == message.sa; });
    if (it != nodes_.end() && it->address != kGlobalAddress) {
        ProductId id = parseProductId(text, false);
        it->updated = now;
        it->make = std::move(id.make);
        it->model = std::move(id.model);
        it->serialNumber = std::move(id.serialNumber);
        it->idNumber = std::move(id.idNumber);
        return;
    }
    ProductId id = parseProductId(text, true);
    nodes_.push_back(RVCNode{message.sa, std::move(id.make), std::move(id.model),
                             std::move(id.serialNumber), std::move(id.idNumber), now});
}

void DeviceTable::updateDiagnosticLocked(const RvcMessage& message, int64_t now) {
    // Frames shorter than two bytes read 0xFF past their data (the manager's working copy).
    const uint8_t status = message.data[0];
    const uint8_t dsa = message.data[1];
    std::array<uint8_t, 6> fault;
    std::copy_n(message.data + 2, fault.size(), fault.begin());
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [&](const RVCDevice& d) { return d.sa == message.sa && d.dsa == dsa; });
    if (it != devices_.end()) {
        it->updated = now;
        // A new fault with the same lamps is news for the Details box too.
        if (it->status != status || it->fault != fault) {
            it->status = status;
            it->fault = fault;
            it->statusChanged = 1;
        }
        int identified =
            (hasNodeLocked(message.sa) || showPhantoms_.load(std::memory_order_relaxed)) ? 1 : 0;
        if (identified != it->identified) {
            it->identified = identified;
            markChanged();
        }
        return;
    }
    devices_.push_back(
        RVCDevice{dsa, message.sa, status, now, hasNodeLocked(message.sa) ? 1 : 0, 0, fault});
    markChanged();
}

void DeviceTable::age() {
    const int64_t now = clock_.epochSeconds();
    std::lock_guard lock(mutex_);
    std::erase_if(nodes_, [&](const RVCNode& n) {
        return n.address != kToolAddress && now - n.updated > kNodeLifetimeSeconds;
    });
    size_t before = devices_.size();
    std::erase_if(devices_, [&](const RVCDevice& d) {
        return d.sa != kToolAddress && now - d.updated > kDeviceLifetimeSeconds;
    });
    if (devices_.size() != before) markChanged();
    for (auto& d : devices_) {
        int identified = hasNodeLocked(d.sa) ? 1 : 0;
        if (identified != d.identified) {
            d.identified = identified;
            markChanged();
        }
    }
}

void DeviceTable::clear() {
    std::lock_guard lock(mutex_);
    nodes_.clear();
    devices_.clear();
    markChanged();
}

void DeviceTable::addToolEntries() {
    const uint8_t status[8] = {kToolStatus, kToolAddress, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    if (auto dmRv = makeMessage(dgn::kDmRv, kToolAddress, status)) update(*dmRv);
    auto text =
        std::span(reinterpret_cast<const uint8_t*>(kToolProductId.data()), kToolProductId.size());
    if (auto productId = makeMessage(dgn::kProductId, kToolAddress, text)) update(*productId);
}

RVCNode DeviceTable::findNode(uint8_t address) const {
    std::lock_guard lock(mutex_);
    const RVCNode* node = findNodeLocked(address);
    return node ? *node : placeholder_;
}

std::vector<RVCNode> DeviceTable::nodes() const {
    std::lock_guard lock(mutex_);
    return nodes_;
}

std::vector<RVCDevice> DeviceTable::devices() const {
    std::lock_guard lock(mutex_);
    return devices_;
}

size_t DeviceTable::deviceCount() const {
    std::lock_guard lock(mutex_);
    return devices_.size();
}

void DeviceTable::clearStatusChanged(uint8_t sa, uint8_t dsa) {
    std::lock_guard lock(mutex_);
    for (auto& d : devices_) {
        if (d.sa == sa && d.dsa == dsa) d.statusChanged = 0;
    }
}

bool DeviceTable::hasNodeLocked(uint8_t address) const {
    return findNodeLocked(address) != nullptr;
}

const RVCNode* DeviceTable::findNodeLocked(uint8_t address) const {
    for (const auto& n : nodes_) {
        if (n.address == address) return &n;
    }
    return nullptr;
}

}  // namespace corvane
