#include "adapters/AdapterSelection.h"

#include "core/TransmitPath.h"

namespace corvane {

AdapterSelection::AdapterSelection(AdapterSettings& settings, TransmitPath& transmit,
                                   UserNotifier& notifier, Adapters adapters)
    : settings_(settings),
      transmit_(transmit),
      notifier_(notifier),
      adapters_(adapters),
      current_(&adapters.none) {
    transmit_.setSender(&adapters_.none);
}

void AdapterSelection::makeCurrent(Conduit& conduit) {
    current_.store(&conduit, std::memory_order_release);
    transmit_.setSender(&conduit);
}

bool AdapterSelection::usbIsCurrent() const {
    return isCurrent(adapters_.ftSeries) || isCurrent(adapters_.serial);
}

void AdapterSelection::connectUsb() {
    if (usbIsCurrent()) {
        current().reconnect();
        return;
    }
    current().disconnect();
    makeCurrent(adapters_.none);
    Conduit* chosen = nullptr;
    switch (settings_.adapterType().value()) {
        case AdapterSettings::kFtSeries:
            chosen = &adapters_.ftSeries;
            break;
        case AdapterSettings::kVexorSeries:
            chosen = &adapters_.serial;
            break;
        default:
            notifier_.showMessage(kConfigurationErrorText, kConfigurationErrorTitle);
            return;
    }
    connectAndMakeCurrent(*chosen);
}

void AdapterSelection::connectCloud() {
    if (isCurrent(adapters_.cloud)) {
        adapters_.cloud.reconnect();
        return;
    }
    // The login is asked while the working adapter still runs: cancelling it changes nothing.
    if (!adapters_.cloud.prepareConnect()) return;
    current().disconnect();
    makeCurrent(adapters_.none);
    connectAndMakeCurrent(adapters_.cloud);
}

bool AdapterSelection::connectAdapter(Conduit& conduit) {
    // An adapter chosen by name (a log, an interface) is never replaced by the automatic
    // connection of the start-up, even when it is chosen before that check has run.
    startupDecided_ = true;
    if (!conduit.prepareConnect()) return false;
    current().disconnect();
    makeCurrent(adapters_.none);
    return connectAndMakeCurrent(conduit);
}

bool AdapterSelection::connectAndMakeCurrent(Conduit& conduit) {
    // The echo option may have been changed on another conduit since this one last ran.
    conduit.loadEchoTransmits();
    if (!conduit.connect()) return false;
    makeCurrent(conduit);
    return true;
}

void AdapterSelection::disconnect() {
    current().disconnect();
    makeCurrent(adapters_.none);
}

void AdapterSelection::reconnect() {
    if (!isCurrent(adapters_.none)) current().reconnect();
}

void AdapterSelection::selectAdapterType(int32_t type) { settings_.adapterType().set(type); }

void AdapterSelection::selectDataRate(int32_t rate) {
    settings_.dataRate().set(rate);
    if (adapters_.ftSeries.getState() == Conduit::kConnected) adapters_.ftSeries.reconnect();
    if (adapters_.serial.getState() == Conduit::kConnected && adapters_.serialRate) {
        adapters_.serialRate->sendDataRate(rate);
    }
}

void AdapterSelection::toggleConnectOnStartup() {
    settings_.autoStart().set(settings_.autoStart().value() == 0 ? 1 : 0);
}

void AdapterSelection::toggleEchoTransmits() {
    Conduit& c = current();
    c.setEchoTransmits(!c.echoTransmits());
}

void AdapterSelection::startupTick(bool altHeld) {
    if (startupDecided_) return;
    if (altHeld) {
        startupDecided_ = true;
        return;
    }
    // Undecided while "Connect on Startup" is off, so switching it on later still connects.
    if (settings_.autoStart().value() == 0) return;
    startupDecided_ = true;
    connectUsb();
}

}  // namespace corvane
