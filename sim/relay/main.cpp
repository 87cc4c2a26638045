// corvane-relay: a local KestrixLink service for the demo and for development without the
// real service. It makes its own certificate authority at start, writes the CA certificate
// where the tool can be told to trust it ("KestrixLinkCAFile"), and serves a certificate for
// "localhost" issued by it.
//
//   corvane-relay [--login-port N] [--stream-port N] [--user NAME] [--password TEXT]
//                 [--ca-out FILE] [--seed N]
//   corvane-relay --help | --version
//
// Prints one line "login https://localhost:PORT stream wss://localhost:PORT ca FILE" once it
// listens, then relays until interrupted (SIGINT or SIGTERM).

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "cli/ProgramCommandLine.h"
#include "sim/relay/CertificateAuthority.h"
#include "sim/relay/RelayServer.h"

namespace {

// Written by the signal handler only; the one thing a handler may safely touch.
volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

const corvane::ProgramCommandLine commandLine(
    "corvane-relay",
    "usage: corvane-relay [--login-port N] [--stream-port N] [--user NAME] [--password TEXT]\n"
    "                     [--ca-out FILE] [--seed N]\n"
    "       corvane-relay --help | --version\n");

int notANumber(const char* option, const char* text) {
    return commandLine.refuse(std::string("not a number for ") + option + ": " + text);
}

bool parseNumber(const char* text, long max, long& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > max) return false;
    out = v;
    return true;
}

// Written beside its final name and renamed into place, so a reader never sees half a file.
bool writeFile(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!(out << text)) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    corvane::sim::RelayServer::Options options;
    options.loginPort = 8443;
    options.streamPort = 8080;
    std::string caOut = "corvane-relay-ca.pem";
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        long n = 0;
        bool hasValue = i + 1 < argc;
        if (auto status = commandLine.answerStandard(a)) return *status;
        if (std::strcmp(a, "--login-port") == 0 && hasValue) {
            if (!parseNumber(argv[++i], 65535, n)) return notANumber(a, argv[i]);
            options.loginPort = static_cast<uint16_t>(n);
        } else if (std::strcmp(a, "--stream-port") == 0 && hasValue) {
            if (!parseNumber(argv[++i], 65535, n)) return notANumber(a, argv[i]);
            options.streamPort = static_cast<uint16_t>(n);
        } else if (std::strcmp(a, "--user") == 0 && hasValue) {
            options.userName = argv[++i];
        } else if (std::strcmp(a, "--password") == 0 && hasValue) {
            options.password = argv[++i];
        } else if (std::strcmp(a, "--ca-out") == 0 && hasValue) {
            caOut = argv[++i];
        } else if (std::strcmp(a, "--seed") == 0 && hasValue) {
            if (!parseNumber(argv[++i], 0x7FFFFFFF, n)) return notANumber(a, argv[i]);
            options.seed = static_cast<uint32_t>(n);
        } else {
            return commandLine.refuse(std::string("unknown option or missing value: ") + a);
        }
    }

    auto ca = corvane::sim::CertificateAuthority::create("Corvane relay CA");
    auto server = ca ? ca->issue("localhost", "127.0.0.1") : std::nullopt;
    if (!server) {
        std::fprintf(stderr, "corvane-relay: could not make the certificates\n");
        return 1;
    }
    if (!writeFile(caOut, ca->certificatePem())) {
        std::fprintf(stderr, "corvane-relay: could not write %s\n", caOut.c_str());
        return 1;
    }
    options.loginTls = *server;
    options.streamTls = *server;

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    corvane::sim::RelayServer relay(options);
    std::string error;
    if (!relay.start(error)) {
        std::fprintf(stderr, "corvane-relay: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    auto caPath = std::filesystem::absolute(caOut, ec);
    std::printf("login https://localhost:%u stream wss://localhost:%u ca %s\n",
                static_cast<unsigned>(relay.loginPort()), static_cast<unsigned>(relay.streamPort()),
                ec ? caOut.c_str() : caPath.c_str());
    std::fflush(stdout);

    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    relay.stop();
    std::fprintf(stderr, "corvane-relay: %llu frames streamed, %zu frames relayed to the vehicle\n",
                 static_cast<unsigned long long>(relay.framesStreamed()),
                 relay.framesToVehicle().size());
    return 0;
}
