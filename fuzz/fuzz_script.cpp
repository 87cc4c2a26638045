// Arbitrary bytes through the script engine: the line reader, the datum parser with a message
// built from the same bytes, the value texts, the format functions, and the bytes run as a whole
// script line by line, with events and timers evaluated after every line on a stepped clock.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "script/DatumDefinition.h"
#include "script/RVCDatumMonitor.h"
#include "script/ScriptEngine.h"
#include "script/ScriptText.h"
#include "script/ValueFormat.h"

namespace {

// Time moves only when the fuzzer's script steps.
class StepClock final : public corvane::Clock {
  public:
    int64_t epochSeconds() const override { return 1'700'000'000 + ms / 1000; }
    int64_t steadyMilliseconds() const override { return ms; }
    // Dates only fill [DATETIME] and SETCURTIME; any fixed one will do.
    std::optional<std::tm> localTime(int64_t) const override { return std::tm{}; }
    int64_t ms = 0;
};

// A window that keeps nothing: the fuzzer only looks for crashes and sanitizer findings.
class SilentWindow final : public corvane::ScriptWindow {
  public:
    void AppendText(std::string_view) override {}
    void AppendLine(std::string_view) override {}
    void ClearLog() override {}
    bool SaveLog(const std::string&) override { return false; }
    void ShowSaveLogDialog() override {}
    void SetStatus(std::string_view) override {}
    void EnableButton(corvane::ScriptButton, bool) override {}
    void ShowTarget(uint8_t) override {}
    void RedrawAll() override {}
    std::optional<std::string> AskForParams(std::string_view) override { return std::nullopt; }
    std::optional<std::string> ChooseMenuToken(std::span<const corvane::MenuEntry>) override {
        return std::nullopt;
    }
    void StartGraph(int, int) override {}
    void AddGraphLine(int) override {}
    void AdvanceGraph(std::span<const int>) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    using namespace corvane;
    const std::span<const uint8_t> input(bytes, size);
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);

    // The format functions see the raw bytes, NULs and all.
    double value = 0;
    if (size >= 8) std::memcpy(&value, bytes, sizeof value);
    (void)EnumText(text, size > 0 ? bytes[0] : 0);
    (void)PrintfValue(text, value);
    for (int kind = 2; kind <= 5; ++kind) (void)TimeText(static_cast<FormatKind>(kind), value);

    // A message carrying the input's first bytes, for every datum the lines define.
    const auto message = makeMessage(size > 0 ? 0x1FFFD : 0, 0x42,
                                     input.first(std::min<size_t>(size, kMaxMessageData)));

    SilentWindow window;
    StepClock clock;
    // No network: sends and target searches stop at their log lines.
    ScriptEngine engine(window, clock);
    engine.state().running = true;
    size_t position = 0;
    std::string line;
    int lines = 0;
    while (ReadScriptLine(input, position, line) && ++lines < 200) {
        auto datum = RVCDatumMonitor::FromDefinition(ParseDatumDefinition(line), true);
        datum->dgn = 0x1FFFD;
        datum->instance = datum->secondaryInstance = 0xFF;
        datum->UpdateFromMessage(*message);
        (void)datum->DisplayLine();
        // Dictionaries would read files from the fuzzing machine's disk.
        // Dictionaries and SAVE would touch the fuzzing machine's disk.
        const std::string upper = ToUpper(line);
        if (upper.find("DICTIONARY") == std::string::npos &&
            upper.find("SAVE") == std::string::npos) {
            engine.ExecuteLine(line);
        }
        // Each line is a step of its own: events and timers run after it, a second apart.
        clock.ms += 1001;
        engine.state().running = true;
        engine.EvaluateEvents(true);
    }
    // Everything the lines created shows its value once the message has been dispatched.
    engine.variables().offer(*message);
    auto vars = engine.variables().Lock();
    for (const auto& datum : vars.datums()) (void)datum->DisplayLine();
    return 0;
}
