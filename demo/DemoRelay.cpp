#include "demo/DemoRelay.h"

#include <fstream>

#include "platform/RuntimeDir.h"
#include "sim/relay/CertificateAuthority.h"

namespace corvane {

namespace {

constexpr const char* kSection = "Corvane";

}  // namespace

bool DemoRelay::start(SettingsStore& settings, std::string& error) {
    auto ca = sim::CertificateAuthority::create("Corvane demo relay CA");
    auto server = ca ? ca->issue("localhost", "127.0.0.1") : std::nullopt;
    auto folder = runtimeDirectory();
    if (!server || !folder) {
        error = "could not make the relay's certificates";
        return false;
    }
    const std::string caFile = *folder + "/demo-relay-ca.pem";
    std::ofstream out(caFile, std::ios::binary | std::ios::trunc);
    out << ca->certificatePem();
    out.close();
    if (!out) {
        error = "could not write " + caFile;
        return false;
    }
    sim::RelayServer::Options options;
    options.loginTls = *server;
    options.streamTls = *server;
    relay_ = std::make_unique<sim::RelayServer>(options);
    if (!relay_->start(error)) return false;

    settings.writeString(kSection, "KestrixLinkHost", "localhost");
    settings.writeInteger(kSection, "KestrixLinkLoginPort", relay_->loginPort());
    settings.writeInteger(kSection, "KestrixLinkStreamPort", relay_->streamPort());
    settings.writeString(kSection, "KestrixLinkCAFile", caFile);
    return true;
}

void DemoRelay::stop() {
    if (relay_) relay_->stop();
}

bool DemoRelay::ask(KestrixLinkDetails& details) { return technician_.ask(details); }

}  // namespace corvane
