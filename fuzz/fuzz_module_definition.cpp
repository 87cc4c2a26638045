// Arbitrary bytes as a module definition file: parsed, made into a module with its tests, and
// the module asked whether it fits a few devices - one node of a known product and one whose
// texts are the definition's own patterns, so that every wildcard and grep test compares its
// pattern with a text it may or may not match. The parameter text is read as the message a
// Message module sends. Besides crashes and sanitizer findings it checks the parser's promises: no
// line holds a line end or a byte outside 16-127, every test key gives a test, and a message text
// gives no more data than one message carries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/RVCDevice.h"
#include "core/RVCNode.h"
#include "fuzz/FuzzSupport.h"
#include "modules/MessageText.h"
#include "modules/Module.h"
#include "modules/ModuleDefinition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    using fuzz::check;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    for (const std::string& line : DefinitionLines(text)) {
        for (char c : line) {
            const auto byte = static_cast<unsigned char>(c);
            check(byte >= 16 && byte <= 127 && byte != '\n');
        }
    }

    const ModuleDefinition definition = ParseModuleDefinition(text, "/modules/fuzz/Fuzz.RVC");
    Module module;
    module.folder = "/modules/fuzz";
    module.apply(definition);
    check(module.tests.size() == definition.tests.size());
    (void)module.reportLines();
    (void)module.resolve(module.file);

    RVCNode known{0x42, "Tindrel", "PX-2000", "SN12345", "ID7", 0};
    RVCNode own{0x43, "", "", "", "", 0};
    for (const auto& test : definition.tests) {
        switch (test.kind) {
            case ModuleTestKind::Make:
            case ModuleTestKind::MakeGrep:
                own.make = test.pattern;
                break;
            case ModuleTestKind::Model:
            case ModuleTestKind::ModelGrep:
                own.model = test.pattern;
                break;
            case ModuleTestKind::SerialNumber:
            case ModuleTestKind::SerialNumberGrep:
                own.serialNumber = test.pattern;
                break;
            case ModuleTestKind::IDNumber:
            case ModuleTestKind::IDNumberGrep:
                own.idNumber = test.pattern;
                break;
        }
    }
    for (const RVCNode* node : {&known, &own}) {
        for (uint8_t dsa : {uint8_t{0}, uint8_t{66}, uint8_t{255}}) {
            const RVCDevice device{dsa, node->address, 0, 0, 1, 0};
            const bool applicable = module.isApplicable(device, *node);
            check(!applicable || (module.addresses[device.sa] && module.defaultAddresses[dsa]));
            for (int32_t result : module.results) check(result >= 0 && result <= 3);
        }
    }

    // Read as a Message module's text whatever the type, so parameters of every kind count.
    for (uint8_t target : {uint8_t{0x00}, uint8_t{0x42}, uint8_t{0xFF}}) {
        if (auto request = ParseMessageText(module.parameters, target)) {
            check(request->length >= 1 && request->length <= kMaxMessageData);
            check(request->priority == 6);
        }
    }
    return 0;
}
