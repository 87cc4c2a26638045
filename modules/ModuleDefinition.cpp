#include "modules/ModuleDefinition.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace corvane {

namespace {

std::string trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "contains X after its first character": a name that is only an extension does not count.
bool containsAfterFirst(const std::string& text, std::string_view part) {
    return text.find(part, 1) != std::string::npos;
}

const std::map<std::string, ModuleTestKind>& testKeys() {
    static const std::map<std::string, ModuleTestKind> keys{
        {"make", ModuleTestKind::Make},       {"makegrep", ModuleTestKind::MakeGrep},
        {"model", ModuleTestKind::Model},     {"modelgrep", ModuleTestKind::ModelGrep},
        {"sn", ModuleTestKind::SerialNumber}, {"sngrep", ModuleTestKind::SerialNumberGrep},
        {"id", ModuleTestKind::IDNumber},     {"idgrep", ModuleTestKind::IDNumberGrep},
    };
    return keys;
}

void applyLine(ModuleDefinition& d, const std::string& line) {
    size_t equals = line.find('=');
    if (equals == std::string::npos) return;
    const std::string key = lowerCase(trimSpaces(std::string_view(line).substr(0, equals)));
    std::string value = trimSpaces(std::string_view(line).substr(equals + 1));

    if (auto test = testKeys().find(key); test != testKeys().end()) {
        d.tests.push_back({test->second, std::move(value)});
    } else if (key == "address") {
        d.addresses |= ParseAddressList(value);
    } else if (key == "defaddress") {
        d.defaultAddresses |= ParseAddressList(value);
    } else if (key == "description") {
        d.description = std::move(value);
    } else if (key == "file") {
        d.file = std::move(value);
    } else if (key == "script") {
        d.file = std::move(value);
        d.type = ModuleType::Script;
    } else if (key == "command" || key == "message") {
        d.parameters = std::move(value);
        d.type = ModuleType::Message;
    } else if (key == "params") {
        d.parameters = std::move(value);
    } else if (key == "default") {
        d.isDefault = value == "1";
    } else if (key == "rightclick") {
        d.onRightClick = value == "1";
    }
}

}  // namespace

std::vector<std::string> DefinitionLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        } else if (byte >= 16 && byte <= 127) {
            line.push_back(c);
        }
    }
    return lines;
}

ModuleDefinition ParseModuleDefinition(std::string_view text, const std::string& path) {
    ModuleDefinition d;
    d.file = path;
    for (const auto& line : DefinitionLines(text)) applyLine(d, line);
    if (d.type == ModuleType::None) {
        if (containsAfterFirst(d.parameters, ".def")) {
            d.type = ModuleType::QuillonModule;
        } else if (containsAfterFirst(d.file, ".cvdl")) {
            d.type = ModuleType::DeviceList;
        } else if (!d.file.empty()) {
            d.type = ModuleType::Program;
        }
    }
    return d;
}

}  // namespace corvane
