#include "app/AppSettings.h"

namespace corvane {

const std::vector<AppSettings::Option>& AppSettings::table() {
    static const std::vector<Option> options = {
        {"AdapterType", false, 2, ""},        {"TarvikBaudRate", false, 2, ""},
        {"TarvikAutoStart", false, 1, ""},    {"EchoTransmits", false, 0, ""},
        {"ShowPhantoms", false, 0, ""},       {"SupportLegacyDM1", false, 1, ""},
        {"DebugPortEnabled", false, 0, ""},   {"AutoUpdate", false, 1, ""},
        {"LastUpdate", false, 0, ""},         {"KestrixLinkIDType", false, 0, ""},
        {"ModuleFolder", true, 0, ""},        {"QuickScriptFileName", true, 0, "QuickScript.scp"},
        {"KestrixLinkUserName", true, 0, ""}, {"KestrixLinkID", true, 0, ""},
    };
    return options;
}

const AppSettings::Option* AppSettings::find(const std::string& name) {
    for (const Option& o : table()) {
        if (name == o.name) return &o;
    }
    return nullptr;
}

AppSettings::AppSettings(SettingsStore& store, const std::string& executableFolder)
    : store_(store),
      bounded_(store),
      debugPortEnabled_(bounded_, kSection, "DebugPortEnabled",
                        find("DebugPortEnabled")->integerDefault),
      autoUpdate_(bounded_, kSection, "AutoUpdate", find("AutoUpdate")->integerDefault),
      lastUpdate_(bounded_, kSection, "LastUpdate", find("LastUpdate")->integerDefault),
      kestrixLinkIdType_(bounded_, kSection, "KestrixLinkIDType",
                         find("KestrixLinkIDType")->integerDefault),
      moduleFolder_(bounded_, kSection, "ModuleFolder", executableFolder),
      quickScriptFileName_(bounded_, kSection, "QuickScriptFileName",
                           find("QuickScriptFileName")->textDefault),
      kestrixLinkUserName_(bounded_, kSection, "KestrixLinkUserName", ""),
      kestrixLinkId_(bounded_, kSection, "KestrixLinkID", "") {}

int32_t AppSettings::storedInteger(const std::string& name) const {
    if (auto stored = store_.readInteger(kSection, name)) return *stored;
    const Option* option = find(name);
    return option ? option->integerDefault : 0;
}

}  // namespace corvane
