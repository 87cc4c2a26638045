// rvc-watch SA DSA: the example module. Registers with the running tool, asks for the
// complete messages of source address SA (255: every address) and prints one line per
// message - DGN, source address, data bytes - until Ctrl-C.
//
//   rvc-watch SA DSA
//   rvc-watch --help | --version

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/ProgramCommandLine.h"
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

const corvane::ProgramCommandLine commandLine(
    "rvc-watch",
    "usage: rvc-watch SA DSA   (addresses 0-255, decimal or 0x hex; SA 255 = all)\n"
    "       rvc-watch --help | --version\n");

}  // namespace

int main(int argc, char** argv) {
    unsigned addresses[2] = {0, 0};
    int given = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (auto status = commandLine.answerStandard(word)) return *status;
        if (word.size() > 1 && word[0] == '-') return commandLine.refuse("unknown option: " + word);
        if (given == 2) return commandLine.refuse("more than two addresses: " + word);
        if (!parseAddress(argv[i], addresses[given]))
            return commandLine.refuse("not an address: " + word);
        ++given;
    }
    if (given < 2) return commandLine.refuse("two addresses are needed: SA and DSA");
    const unsigned sa = addresses[0];
    const unsigned dsa = addresses[1];
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
