#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "modules/AddressList.h"
#include "modules/ModuleType.h"

namespace corvane {

// The kinds of make/model/serial/ID conditions, one per definition key.
enum class ModuleTestKind {
    Make,              // "make"
    MakeGrep,          // "makegrep"
    Model,             // "model"
    ModelGrep,         // "modelgrep"
    SerialNumber,      // "sn"
    SerialNumberGrep,  // "sngrep"
    IDNumber,          // "id"
    IDNumberGrep,      // "idgrep"
};

struct ModuleTestSpec {
    ModuleTestKind kind;
    std::string pattern;
};

// What one module definition file (".RVC") declares, type inference included.
struct ModuleDefinition {
    ModuleType type = ModuleType::None;
    std::string file;  // the definition's own path unless "file"/"script" names another
    std::string description;
    std::string parameters;
    AddressSet addresses;         // source addresses
    AddressSet defaultAddresses;  // DSAs
    bool isDefault = false;
    bool onRightClick = false;
    std::vector<ModuleTestSpec> tests;  // in definition order
};

// The lines of a definition text: a line ends at LF; every byte outside 16-127 is dropped
// where it stands (so CR and tabs vanish); a last line without LF is not delivered.
//   "a=1\r\nb=2\n" -> {"a=1", "b=2"}    "a=1\nrightclick=1" -> {"a=1"}
std::vector<std::string> DefinitionLines(std::string_view text);

// The definition read from the text of the file at `path`. Every text is acceptable: unknown
// keys, lines without "=" and malformed numbers are ignored or read as 0.
//   "file=tool.exe\n"    -> Program, file "tool.exe"
//   "params=test.def\n"  -> QuillonModule          "file=list.cvdl\n" -> DeviceList
//   "description=X\n"    -> Program, file = path   "default=yes\n"    -> isDefault false
ModuleDefinition ParseModuleDefinition(std::string_view text, const std::string& path);

}  // namespace corvane
