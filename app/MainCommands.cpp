#include "app/MainCommands.h"

#include <array>
#include <string>

#include "adapters/SocketCanConduit.h"
#include "app/ConnectionStatus.h"
#include "app/MenuTable.h"
#include "core/Dgn.h"
#include "core/MuteMode.h"
#include "core/RvcSendRequest.h"
#include "health/HealthWatch.h"
#include "health/ReportFormats.h"
#include "logs/ReplayConduit.h"
#include "logs/TrafficRecorder.h"
#include "modules/Updater.h"
#include "platform/CanSocket.h"
#include "platform/FileReplacement.h"

namespace corvane {

namespace {

constexpr uint8_t kRebootPriority = 6;
constexpr std::array<uint8_t, 8> kRebootData = {0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

int32_t stateOf(const Conduit* conduit) { return conduit ? stateNumber(conduit->getState()) : 0; }

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
            manager.setScanNetwork(!manager.scanNetwork());
            return true;
        case kMuteNormal:
            manager.setMuteMode(MuteMode::TransmitNormally);
            return true;
        case kMuteHousekeepingOnly:
            manager.setMuteMode(MuteMode::HousekeepingOnly);
            return true;
        case kMuteNothing:
            manager.setMuteMode(MuteMode::Nothing);
            return true;
        case kMuteToolMessagesOnly:
            manager.setMuteMode(MuteMode::ToolMessagesOnly);
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
    s.scanNetwork = services_.manager->scanNetwork() ? 1 : 0;
    s.muteMode = toWire(services_.manager->muteMode());
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
    services_.replay->setStartOffset(choice.startMicros);
    services_.adapters->connectAdapter(*services_.replay);
}

bool MainCommands::startRecording(const RecordingChoice& choice) {
    if (!services_.recorder) {
        reportNotAvailable(command::kRecordTraffic);
        return false;
    }
    // A SocketCAN adapter lends its interface name; every other source is "can0".
    std::string interface = "can0";
    if (services_.adapters && services_.socketCan &&
        services_.adapters->isCurrent(*services_.socketCan))
        interface = services_.socketCan->interfaceName();
    if (!choice.folder) {
        if (services_.recorder->start(choice.path, interface)) return true;
        notifier_.showMessage("Could not create " + choice.path + ".", kRecordingTitle);
        return false;
    }
    choice.options.store(*services_.settings);
    const RotationSettings rotation = choice.options.settings(*services_.settings);
    if (services_.recorder->startFolder(choice.path, rotation, interface)) return true;
    notifier_.showMessage("Could not record into " + choice.path + ": it is not a folder.",
                          kRecordingTitle);
    return false;
}

RecordingOptions MainCommands::storedRecordingOptions() const {
    return RecordingOptions::stored(*services_.settings);
}

std::string MainCommands::reportJsonPath(const std::string& pagePath) {
    const size_t slash = pagePath.rfind('/');
    const size_t dot = pagePath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? pagePath.substr(0, dot) : pagePath) + ".json";
}

bool MainCommands::exportReport(const std::string& path) {
    if (!services_.health || !services_.table) {
        reportNotAvailable(command::kExportReport);
        return false;
    }
    // The figures as of now, not as of the last statistics step.
    services_.health->refresh(*services_.table);
    const health::HealthReport& report = services_.health->report();
    const std::string jsonPath = reportJsonPath(path);
    // Each file is replaced only once it is written whole: a full disk keeps an earlier one.
    const auto write = [](const std::string& file, const std::string& text) {
        FileReplacement out(file);
        if (!out.opened()) return false;
        out.stream() << text;
        return out.commit();
    };
    for (const auto& [file, text] : {std::pair{path, health::reportToHtml(report)},
                                     std::pair{jsonPath, health::reportToJsonText(report)}}) {
        if (!write(file, text)) {
            notifier_.showMessage("The report could not be written to " + file + ".", kReportTitle);
            return false;
        }
    }
    notifier_.showMessage("The report was written to " + path + " and " + jsonPath + ".",
                          kReportTitle);
    return true;
}

void MainCommands::stopRecording() {
    if (!services_.recorder || !services_.recorder->recording()) return;
    const bool written = services_.recorder->stop();
    const std::string count = std::to_string(services_.recorder->frameCount());
    const uint64_t dropped = services_.recorder->dropped();
    // A recording drops what its writer could not keep up with; say so.
    const std::string droppedText =
        dropped == 0
            ? ""
            : " " + std::to_string(dropped) + " frames were dropped: the disk could not keep up.";
    notifier_.showMessage(written ? "Recording stopped: " + count + " frames written." + droppedText
                                  : "The recording could not be written completely; the disk may "
                                    "be full. " +
                                        count + " frames were taken in.",
                          kRecordingTitle);
}

bool MainCommands::recording() const {
    return services_.recorder && services_.recorder->recording();
}

std::string MainCommands::windowTitle(const std::string& base) const {
    std::string title = base;
    // A full disk shows at once, not only when the recording is stopped.
    if (recording()) {
        const uint64_t dropped = services_.recorder->dropped();
        title += " - Recording: " + std::to_string(services_.recorder->frameCount()) + " frames" +
                 (dropped > 0 ? ", " + std::to_string(dropped) + " dropped" : "") +
                 (services_.recorder->writeFailed() ? " (not all written)" : "");
    }
    // A replay under way says how far it has come.
    const ReplayConduit* replay = services_.replay;
    if (replay != nullptr && replay->playing() && !replay->finished() && replay->framesPlayed() > 0)
        title +=
            " - Replay at " + ConnectionStatus::replayPositionOf(
                                  replay->logTime() - replay->logStart(), replay->percentRead());
    return title;
}

void MainCommands::reportNotAvailable(int id) {
    std::string caption = MenuTable::captionOf(id);
    std::erase(caption, '&');
    notifier_.showMessage(caption + " is not available in this version.", "Corvane");
}

}  // namespace corvane
