#pragma once

#include <cstdint>

namespace corvane {

// The command ids of the main window's menu bar.
namespace command {
inline constexpr int kUsb = 32771;
inline constexpr int kCloud = 32773;
inline constexpr int kDisconnect = 32774;
inline constexpr int kExit = 32775;
inline constexpr int kAbout = 32776;
inline constexpr int kRunUnlistedModule = 32778;
inline constexpr int kRunSelectedModule = 32779;
inline constexpr int kQuickScript = 32780;
inline constexpr int kNetworkMonitor = 32782;
inline constexpr int kRate250 = 32790;
inline constexpr int kRate500 = 32791;
inline constexpr int kShowPhantoms = 32795;
inline constexpr int kChangeModuleFolder = 32797;
inline constexpr int kResetFolders = 32801;
inline constexpr int kChangeQuickScriptFile = 32806;
inline constexpr int kSupportLegacyDm1 = 32901;
inline constexpr int kScanNetwork = 32904;
inline constexpr int kMuteNormal = 32905;
inline constexpr int kMuteHousekeepingOnly = 32906;
inline constexpr int kMuteNothing = 32907;
inline constexpr int kAutoUpdate = 32911;
inline constexpr int kUpdateNow = 32912;
inline constexpr int kEchoTransmits = 32914;
inline constexpr int kSendReboot = 32915;
inline constexpr int kConnectOnStartup = 32918;
inline constexpr int kReconnect = 32919;
inline constexpr int kVexorSeries = 32922;
inline constexpr int kFtSeries = 32923;
inline constexpr int kExportDeviceList = 32925;
inline constexpr int kCompareDeviceLists = 32926;
inline constexpr int kOpenExternalModuleFolder = 32927;
inline constexpr int kMuteToolMessagesOnly = 32930;
inline constexpr int kSocketCan = 32931;
inline constexpr int kReplayLog = 32932;
inline constexpr int kRecordTraffic = 32933;
inline constexpr int kTraffic = 32934;
inline constexpr int kFaults = 32935;
inline constexpr int kExportReport = 32936;
// The device list's right-click menu: 9000 + the module's place in the menu.
inline constexpr int kFirstDeviceMenuModule = 9000;
}  // namespace command

// What the menu rules look at, gathered when a menu opens.
struct MenuState {
    int32_t ftSeriesState = 0;  // conduit states: 0 disconnected, 1 connected, 2 logged in,
    int32_t serialState = 0;    // 3 failed, 4 disabled
    int32_t cloudState = 0;
    int32_t socketCanState = 0;
    int32_t replayState = 0;
    bool recording = false;  // "Record Traffic..." is writing a log
    bool currentIsNoAdapter = true;
    bool currentEchoes = false;
    int32_t autoUpdate = 1;
    int32_t connectOnStartup = 1;
    int32_t adapterType = 2;
    int32_t dataRate = 2;
    int32_t scanNetwork = 1;
    int32_t muteMode = 0;
    int32_t supportLegacyDm1 = 1;  // the stored values, which may be other than 0 or 1
    int32_t showPhantoms = 0;
};

struct ItemState {
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    friend bool operator==(const ItemState&, const ItemState&) = default;
};

// The enabled and checked rule of every menu command, and the two ways options toggle.
// Commands without a rule are enabled and not checkable.
class MenuRules {
  public:
    static ItemState stateOf(int commandId, const MenuState& state);

    // Most options: 1 when it was 0, otherwise 0 (a stored 5 becomes 0).
    static int32_t toggled(int32_t value) { return value == 0 ? 1 : 0; }
    // "Show Phantom Devices": 0 when it was 1, otherwise 1 (a stored 5 becomes 1).
    static int32_t toggledShowPhantoms(int32_t value) { return value == 1 ? 0 : 1; }
};

}  // namespace corvane
