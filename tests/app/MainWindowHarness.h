#pragma once

#include <QApplication>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "adapters/AdapterSelection.h"
#include "adapters/AdapterSettings.h"
#include "adapters/Conduit.h"
#include "app/CCorvaneDlg.h"
#include "app/MainWindowServices.h"
#include "app/ModuleSource.h"
#include "core/DeviceTable.h"
#include "core/Dgn.h"
#include "core/FrameSender.h"
#include "core/PeriodicDuties.h"
#include "core/RVCManager.h"
#include "core/RvcMessage.h"
#include "core/TransmitPath.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/FakeClock.h"
#include "tests/support/QtTestApplication.h"

namespace corvane::test {

struct Sent {
    uint32_t dgn;
    uint8_t sa;
    uint8_t priority;
    std::vector<uint8_t> data;
};

// The adapter end of the transmit path: keeps what it is asked to send.
class SentFrames final : public FrameSender {
  public:
    void sendFrame(uint32_t dgn, uint8_t sa, uint8_t priority, uint16_t length,
                   const uint8_t* data) override {
        frames.push_back({dgn, sa, priority, std::vector<uint8_t>(data, data + length)});
    }
    bool echoTransmits() const override { return false; }
    std::vector<Sent> frames;
};

class RecordingNotifier final : public UserNotifier {
  public:
    void showMessage(std::string_view text, std::string_view title) override {
        messages.push_back({std::string(text), std::string(title)});
    }
    std::vector<std::pair<std::string, std::string>> messages;
};

// A catalogue with fixed modules; a module fits a device when its `index` is listed for that
// device's DSA, or for every device when `forDsa` is empty.
class FakeModules final : public ModuleSource {
  public:
    struct Entry {
        ModuleRow row;
        std::vector<uint8_t> forDsa;
    };
    std::vector<ModuleRow> applicableModules(const RVCDevice& device) const override {
        std::vector<ModuleRow> out;
        for (const Entry& e : entries) {
            bool fits = e.forDsa.empty();
            for (uint8_t dsa : e.forDsa) fits = fits || dsa == device.dsa;
            if (fits) out.push_back(e.row);
        }
        return out;
    }
    void runModule(const ModuleRow& module, const RVCDevice& device) override {
        runs.push_back({module.description, device.sa, device.dsa});
    }
    void add(std::string description, std::vector<uint8_t> forDsa = {}, bool isDefault = false,
             bool onRightClick = false) {
        ModuleRow row;
        row.index = entries.size();
        row.description = std::move(description);
        row.file = row.description + ".exe";
        row.isDefault = isDefault;
        row.onRightClick = onRightClick;
        entries.push_back({row, std::move(forDsa)});
    }

    struct Run {
        std::string description;
        uint8_t sa, dsa;
        friend bool operator==(const Run&, const Run&) = default;
    };
    std::vector<Entry> entries;
    std::vector<Run> runs;
};

// Everything the main window works with, built as start-up builds it, around a memory store.
class MainWindowHarness {
  public:
    MainWindowHarness() { ensureApplication(); }

    // Creates the window (after the test has put what it needs into the store).
    CCorvaneDlg& open() {
        // No automatic connection unless a test asks for one: it would take the transmit path.
        if (!store.readInteger("Corvane", "TarvikAutoStart"))
            store.writeInteger("Corvane", "TarvikAutoStart", 0);
        manager = std::make_unique<RVCManager>(store, table);
        duties = std::make_unique<PeriodicDuties>(*manager, table);
        transmit = std::make_unique<TransmitPath>(*manager);
        transmit->setSender(&sent);
        adapterSettings = std::make_unique<AdapterSettings>(store);
        none = std::make_unique<Conduit>(store, *transmit);
        ftSeries = std::make_unique<Conduit>(store, *transmit);
        cloud = std::make_unique<Conduit>(store, *transmit);
        serial = std::make_unique<Conduit>(store, *transmit);
        adapters = std::make_unique<AdapterSelection>(
            *adapterSettings, *transmit, notifier,
            AdapterSelection::Adapters{*none, *ftSeries, *cloud, *serial});
        // The selection points the path at the no-adapter conduit; tests look at what is sent.
        transmit->setSender(&sent);

        MainWindowServices s;
        s.settings = &store;
        s.manager = manager.get();
        s.table = &table;
        s.duties = duties.get();
        s.adapters = adapters.get();
        s.adapterSettings = adapterSettings.get();
        s.noAdapter = none.get();
        s.ftSeries = ftSeries.get();
        s.cloud = cloud.get();
        s.serial = serial.get();
        s.transmit = transmit.get();
        s.modules = &modules;
        s.executableFolder = "/opt/corvane";
        if (customise) customise(s);
        window = std::make_unique<CCorvaneDlg>(s, notifier, false);
        return *window;
    }

    void identify(uint8_t sa, const std::string& text = "ACME*Heater 5*SN123*7*") {
        table.update(
            *makeMessage(dgn::kProductId, sa,
                         std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
    }
    void status(uint8_t sa, uint8_t dsa, uint8_t statusByte = 0x05) {
        const uint8_t data[8] = {statusByte, dsa, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        table.update(*makeMessage(dgn::kDmRv, sa, data));
    }
    // Ticks until the next 900 ms step has run.
    void untilNextListStep() {
        do {
            window->timerTick();
        } while (duties->counter() % 900 != 0 || duties->counter() == 0);
    }

    // Changes the services before the window is made (a real catalogue instead of the fake).
    std::function<void(MainWindowServices&)> customise;

    MemorySettingsStore store;
    FakeClock clock;
    DeviceTable table{clock};
    SentFrames sent;
    RecordingNotifier notifier;
    FakeModules modules;
    std::unique_ptr<RVCManager> manager;
    std::unique_ptr<PeriodicDuties> duties;
    std::unique_ptr<TransmitPath> transmit;
    std::unique_ptr<AdapterSettings> adapterSettings;
    std::unique_ptr<Conduit> none, ftSeries, cloud, serial;
    std::unique_ptr<AdapterSelection> adapters;
    std::unique_ptr<CCorvaneDlg> window;
};

}  // namespace corvane::test
