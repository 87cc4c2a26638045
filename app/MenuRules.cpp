#include "app/MenuRules.h"

namespace corvane {

namespace {

// A connect command can be used while its adapter is disconnected, connected (to reconnect)
// or failed; it is shown checked while the adapter is connected or logged in.
bool canConnect(int32_t state) { return state == 0 || state == 1 || state == 3; }
bool isLinked(int32_t state) { return state == 1 || state == 2; }

ItemState check(bool on) { return {true, true, on}; }

}  // namespace

ItemState MenuRules::stateOf(int commandId, const MenuState& s) {
    using namespace command;
    switch (commandId) {
        case kUsb:
            return {canConnect(s.ftSeriesState) || canConnect(s.serialState), true,
                    isLinked(s.ftSeriesState) || isLinked(s.serialState)};
        case kCloud:
            return {canConnect(s.cloudState), true, isLinked(s.cloudState)};
        // They ask for an interface or a file first, so they can always be chosen.
        case kSocketCan:
            return check(isLinked(s.socketCanState));
        case kReplayLog:
            return check(isLinked(s.replayState));
        case kRecordTraffic:
            return check(s.recording);
        case kDisconnect:
        case kReconnect:
            return {!s.currentIsNoAdapter, false, false};
        case kAutoUpdate:
            return check(s.autoUpdate != 0);
        case kConnectOnStartup:
            return check(s.connectOnStartup == 1);
        case kFtSeries:
            return check(s.adapterType == 1);
        case kVexorSeries:
            return check(s.adapterType == 2);
        case kRate250:
            return check(s.dataRate == 2);
        case kRate500:
            return check(s.dataRate == 1);
        case kScanNetwork:
            return check(s.scanNetwork != 0);
        case kMuteNormal:
            return check(s.muteMode == 0);
        case kMuteHousekeepingOnly:
            return check(s.muteMode == 1);
        case kMuteNothing:
            return check(s.muteMode == 2);
        case kMuteToolMessagesOnly:
            return check(s.muteMode == 3);
        case kEchoTransmits:
            return check(s.currentEchoes);
        case kSupportLegacyDm1:
            return check(s.supportLegacyDm1 == 1);
        case kShowPhantoms:
            return check(s.showPhantoms == 1);
        default:
            return {};
    }
}

}  // namespace corvane
