#include "app/MenuTable.h"

#include "app/MenuRules.h"

namespace corvane {

namespace {

using K = MenuBarEntry::Kind;

MenuBarEntry open(const char* caption) { return {K::Open, caption, 0}; }
MenuBarEntry close() { return {K::Close, "", 0}; }
MenuBarEntry item(const char* caption, int id) { return {K::Item, caption, id}; }
MenuBarEntry separator() { return {K::Separator, "", 0}; }

std::vector<MenuBarEntry> build() {
    using namespace command;
    return {
        open("&Connect"),
        item("&USB", kUsb),
        item("&Cloud", kCloud),
        item("&SocketCAN...", kSocketCan),
        item("Replay &Log...", kReplayLog),
        item("&Disconnect", kDisconnect),
        item("&Reconnect", kReconnect),
        item("E&xit", kExit),
        close(),
        open("Modules"),
        item("Run Unlisted Module", kRunUnlistedModule),
        item("Run Selected Module", kRunSelectedModule),
        item("Open External Module Folder", kOpenExternalModuleFolder),
        item("Quick Script", kQuickScript),
        item("Network Monitor", kNetworkMonitor),
        item("Traffic", kTraffic),
        item("Record Traffic...", kRecordTraffic),
        item("Faults", kFaults),
        item("Export Report...", kExportReport),
        item("Send Reboot Command", kSendReboot),
        open("Device Lists"),
        item("Export", kExportDeviceList),
        item("Compare", kCompareDeviceLists),
        close(),
        close(),
        open("Options"),
        open("Updates"),
        item("Auto Update On Startup", kAutoUpdate),
        item("Update Now", kUpdateNow),
        close(),
        open("Connection Options"),
        item("Connect on Startup", kConnectOnStartup),
        open("USB Adapter Type"),
        item("FT Series", kFtSeries),
        item("Vexor Series", kVexorSeries),
        close(),
        open("Data Rate"),
        item("250 kbps RV-C", kRate250),
        item("500 kbps J1939 \"Green Plug\"", kRate500),
        close(),
        close(),
        open("Advanced Options"),
        item("Scan Network", kScanNetwork),
        separator(),
        item("Change Module Base Folder", kChangeModuleFolder),
        item("Reset Folders to Defaults", kResetFolders),
        item("Change QuickScript File", kChangeQuickScriptFile),
        separator(),
        open("Mute Mode"),
        item("Transmit Normally", kMuteNormal),
        item("Transmit Housekeeping Messages Only", kMuteHousekeepingOnly),
        item("Transmit Nothing", kMuteNothing),
        item("Transmit Tool Messages Only", kMuteToolMessagesOnly),
        close(),
        item("Echo Tool Transmissions to Modules", kEchoTransmits),
        item("Support Legacy DM1s", kSupportLegacyDm1),
        item("Show Phantom Devices", kShowPhantoms),
        close(),
        close(),
        item("&About", kAbout),
    };
}

}  // namespace

const std::vector<MenuBarEntry>& MenuTable::mainMenu() {
    static const std::vector<MenuBarEntry> table = build();
    return table;
}

const char* MenuTable::captionOf(int id) {
    for (const MenuBarEntry& e : mainMenu()) {
        if (e.kind == K::Item && e.id == id) return e.caption;
    }
    return "";
}

}  // namespace corvane
