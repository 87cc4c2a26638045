#include "app/MainCommands.h"

#include <array>
#include <string>

#include "adapters/ReplayConduit.h"
#include "adapters/SocketCanConduit.h"
#include "adapters/TrafficRecorder.h"
#include "app/MenuTable.h"
#include "core/Dgn.h"
#include "core/MuteMode.h"
#include "core/RvcSendRequest.h"
#include "modules/Updater.h"
#include "platform/CanSocket.h"

namespace corvane {

namespace {

constexpr uint8_t kRebootPriority = 6;
constexpr std::array<uint8_t, 8> kRebootData = {0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

int32_t stateOf(const Conduit* conduit) { return conduit ? conduit->getState() : 0; }

}  // namespace

MainCommands::MainCommands(const MainWindowServices& services, AppSettings& settings,
                           UserNotifier& notifier)
    : services_(services),
      settings_(settings),
      notifier_(notifier),
      adapterSettings_(services.adapterSettings) {
    if (!adapterSettings_) {
        ownAdapterSettings_ = std::make_unique<AdapterSettings>(*services.settings);
        adapterSettings_ = ownAdapterSettings_.get();
    }
}

bool MainCommands::execute(int id, const std::optional<RVCDevice>& selected) {
    if (id == command::kSendReboot) {
        sendReboot(selected);
        return true;
    }
    if (id == command::kAutoUpdate || id == command::kUpdateNow) {
        executeUpdate(id);
        return true;
    }
    return executeConnection(id) || executeAdapterOption(id) || executeNetworkOption(id);
}

void MainCommands::executeUpdate(int id) {
    Updater* updater = services_.updater;
    if (id == command::kUpdateNow) {
        // Whether the updater started is not looked at: the date is noted all the same.
        updater ? static_cast<void>(updater->updateNow()) : reportNotAvailable(id);
        return;
    }
    if (updater) {
        updater->toggleAutoUpdate();
    } else {
        settings_.autoUpdate().set(MenuRules::toggled(settings_.storedInteger("AutoUpdate")));
    }
}

bool MainCommands::executeConnection(int id) {
    using namespace command;
    if (id != kUsb && id != kCloud && id != kDisconnect && id != kReconnect) return false;
    AdapterSelection* adapters = services_.adapters;
    if (!adapters) {
        reportNotAvailable(id);
        return true;
    }
    if (id == kUsb) adapters->connectUsb();
    if (id == kCloud) adapters->connectCloud();
    if (id == kDisconnect) adapters->disconnect();
    if (id == kReconnect) adapters->reconnect();
    return true;
}

bool MainCommands::executeAdapterOption(int id) {
    using namespace command;
    AdapterSelection* adapters = services_.adapters;
    AdapterSettings& options = *adapterSettings_;
    switch (id) {
        case kFtSeries:
        case kVexorSeries: {
            const int32_t type =
                id == kFtSeries ? AdapterSettings::kFtSeries : AdapterSettings::kVexorSeries;
            adapters ? adapters->selectAdapterType(type) : options.adapterType().set(type);
            return true;
        }
        case kRate250:
        case kRate500: {
            const int32_t rate =
                id == kRate250 ? AdapterSettings::kRate250k : AdapterSettings::kRate500k;
            adapters ? adapters->selectDataRate(rate) : options.dataRate().set(rate);
            return true;
        }
        case kConnectOnStartup:
            adapters ? adapters->toggleConnectOnStartup()
                     : options.autoStart().set(MenuRules::toggled(options.autoStart().value()));
            return true;
        case kEchoTransmits:
            if (adapters) {
                adapters->toggleEchoTransmits();
            } else {
                reportNotAvailable(id);
            }
            return true;
        default:
            return false;
    }
}

bool MainCommands::executeNetworkOption(int id) {
    using namespace command;
    RVCManager& manager = *services_.manager;
    switch (id) {
        case kScanNetwork:
            manager.scanNetwork().store(MenuRules::toggled(manager.scanNetwork().load()));
            return true;
        case kMuteNormal:
            manager.muteMode().store(mute::kTransmitNormally);
            return true;
        case kMuteHousekeepingOnly:
            manager.muteMode().store(mute::kHousekeepingOnly);
            return true;
        case kMuteNothing:
            manager.muteMode().store(mute::kNothing);
            return true;
        case kMuteToolMessagesOnly:
            manager.muteMode().store(mute::kToolMessagesOnly);
            return true;
        case kSupportLegacyDm1:
            manager.setSupportLegacyDM1(
                MenuRules::toggled(settings_.storedInteger("SupportLegacyDM1")) != 0);
            return true;
        case kShowPhantoms:
            manager.setShowPhantoms(
                MenuRules::toggledShowPhantoms(settings_.storedInteger("ShowPhantoms")) != 0);
            // The list shows the change at the next 900 ms step.
            services_.table->markChanged();
            return true;
        default:
            return false;
    }
}

void MainCommands::sendReboot(const std::optional<RVCDevice>& selected) {
    if (!selected) {
        notifier_.showMessage(kNoDeviceText, kNoDeviceTitle);
        return;
    }
    if (!services_.transmit) {
        reportNotAvailable(command::kSendReboot);
        return;
    }
    auto request = makeSendRequest(dgn::kReset + selected->sa, kRebootPriority, kRebootData);
    if (request) services_.transmit->sendRequest(*request);
}

MenuState MainCommands::menuState() const {
    MenuState s;
    s.ftSeriesState = stateOf(services_.ftSeries);
    s.serialState = stateOf(services_.serial);
    s.cloudState = stateOf(services_.cloud);
    s.socketCanState = stateOf(services_.socketCan);
    s.replayState = stateOf(services_.replay);
    s.recording = recording();
    if (services_.adapters) {
        const Conduit& current = services_.adapters->current();
        if (services_.noAdapter) {
            s.currentIsNoAdapter = &current == services_.noAdapter;
        } else {
            // Without the no-adapter conduit at hand: none of the known adapters is current.
            s.currentIsNoAdapter = &current != services_.ftSeries && &current != services_.cloud &&
                                   &current != services_.serial &&
                                   &current != services_.socketCan && &current != services_.replay;
        }
        s.currentEchoes = current.echoTransmits();
    }
    // The updater keeps its own copy of the option: the store has the value now.
    s.autoUpdate = settings_.storedInteger("AutoUpdate");
    s.connectOnStartup = adapterSettings_->autoStart().value();
    s.adapterType = adapterSettings_->adapterType().value();
    s.dataRate = adapterSettings_->dataRate().value();
    s.scanNetwork = services_.manager->scanNetwork().load();
    s.muteMode = services_.manager->muteMode().load();
    s.supportLegacyDm1 = settings_.storedInteger("SupportLegacyDM1");
    s.showPhantoms = settings_.storedInteger("ShowPhantoms");
    return s;
}

bool MainCommands::socketCanAvailable() {
    if (!services_.socketCan || !services_.adapters) {
        reportNotAvailable(command::kSocketCan);
        return false;
    }
    if (!CanSocket::supported()) {
        notifier_.showMessage(SocketCanConduit::kUnsupportedText, SocketCanConduit::kErrorTitle);
        return false;
    }
    return true;
}

std::string MainCommands::socketCanInterface() const {
    return services_.socketCan ? services_.socketCan->interfaceName() : std::string("can0");
}

void MainCommands::connectSocketCan(const std::string& interface) {
    if (!services_.socketCan || !services_.adapters) {
        reportNotAvailable(command::kSocketCan);
        return;
    }
    services_.socketCan->setInterface(interface);
    services_.adapters->connectAdapter(*services_.socketCan);
}

void MainCommands::replayLog(const ReplayChoice& choice) {
    if (!services_.replay || !services_.adapters) {
        reportNotAvailable(command::kReplayLog);
        return;
    }
    services_.replay->setFile(choice.path);
    services_.replay->setSpeed(choice.speed);
    services_.replay->setLoop(choice.loop);
    services_.adapters->connectAdapter(*services_.replay);
}

bool MainCommands::startRecording(const std::string& path) {
    if (!services_.recorder) {
        reportNotAvailable(command::kRecordTraffic);
        return false;
    }
    // A SocketCAN adapter lends its interface name; every other source is "can0".
    std::string interface = "can0";
    if (services_.adapters && services_.socketCan &&
        services_.adapters->isCurrent(*services_.socketCan))
        interface = services_.socketCan->interfaceName();
    if (services_.recorder->start(path, interface)) return true;
    notifier_.showMessage("Could not create " + path + ".", kRecordingTitle);
    return false;
}

void MainCommands::stopRecording() {
    if (!services_.recorder || !services_.recorder->recording()) return;
    const bool written = services_.recorder->stop();
    const std::string count = std::to_string(services_.recorder->frameCount());
    notifier_.showMessage(written ? "Recording stopped: " + count + " frames written."
                                  : "The recording could not be written completely; the disk may "
                                    "be full. " +
                                        count + " frames were taken in.",
                          kRecordingTitle);
}

bool MainCommands::recording() const {
    return services_.recorder && services_.recorder->recording();
}

std::string MainCommands::windowTitle(const std::string& base) const {
    if (!recording()) return base;
    // A full disk shows at once, not only when the recording is stopped.
    return base + " - Recording: " + std::to_string(services_.recorder->frameCount()) + " frames" +
           (services_.recorder->writeFailed() ? " (not all written)" : "");
}

void MainCommands::reportNotAvailable(int id) {
    std::string caption = MenuTable::captionOf(id);
    std::erase(caption, '&');
    notifier_.showMessage(caption + " is not available in this version.", "Corvane");
}

}  // namespace corvane
