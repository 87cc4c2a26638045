// rvc-watch SA DSA: the example module. Registers with the running tool, asks for the
// complete messages of source address SA (255: every address) and prints one line per
// message - DGN, source address, data bytes - until Ctrl-C.

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sdk/ModuleClient.h"

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

// Decimal as the tool writes it on module command lines, or hex with 0x.
bool parseAddress(const char* text, unsigned& value) {
    char* end = nullptr;
    bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned long v = std::strtoul(text, &end, hex ? 16 : 10);
    if (end == text || *end != '\0' || v > 255) return false;
    value = static_cast<unsigned>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned sa = 0, dsa = 0;
    if (argc < 3 || !parseAddress(argv[1], sa) || !parseAddress(argv[2], dsa)) {
        std::fprintf(stderr, "usage: rvc-watch SA DSA   (addresses 0-255; 255 = all)\n");
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    corvane::sdk::ModuleClient client;
    std::string slot = "rvc-watch." + std::to_string(::getpid());
    if (!client.registerAs(slot)) {
        std::fprintf(stderr, "rvc-watch: the tool does not answer (is Corvane running?)\n");
        return 1;
    }
    client.addAddressFilter(static_cast<uint8_t>(sa));
    std::printf("watching SA %02X (DSA %02X)\n", sa, dsa);
    std::fflush(stdout);

    using Type = corvane::sdk::ModuleEvent::Type;
    while (!stopRequested) {
        auto event = client.receive(std::chrono::milliseconds(200));
        if (!event || event->type != Type::Message) continue;
        std::printf("%05X %02X", event->dgn, event->sa);
        for (uint8_t byte : event->data) std::printf(" %02X", byte);
        std::printf("\n");
        std::fflush(stdout);
    }
    client.unregister();
    return 0;
}
