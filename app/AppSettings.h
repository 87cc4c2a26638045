#pragma once

#include <string>
#include <vector>

#include "app/BoundedSettingsStore.h"
#include "platform/IntegerSetting.h"
#include "platform/SettingsStore.h"
#include "platform/StringSetting.h"

namespace corvane {

// Every persistent option of the program, all in the section "Corvane".
//
// table() lists them with their defaults. The object holds the options no other part owns
// yet; the manager (ShowPhantoms, SupportLegacyDM1), the adapter settings (AdapterType,
// TarvikBaudRate, TarvikAutoStart) and each conduit (EchoTransmits) keep their own objects,
// and those are read and changed through their owners. Text options go through the 255-byte
// limit. Used on the user-interface thread.
class AppSettings {
  public:
    static constexpr const char* kSection = "Corvane";

    struct Option {
        const char* name;
        bool isText;
        int32_t integerDefault;
        const char* textDefault;  // ModuleFolder's default is the executable's folder: ""
    };
    static const std::vector<Option>& table();
    static const Option* find(const std::string& name);

    // `executableFolder` is the default of ModuleFolder.
    AppSettings(SettingsStore& store, const std::string& executableFolder);

    IntegerSetting& debugPortEnabled() { return debugPortEnabled_; }
    IntegerSetting& autoUpdate() { return autoUpdate_; }
    IntegerSetting& lastUpdate() { return lastUpdate_; }
    IntegerSetting& kestrixLinkIdType() { return kestrixLinkIdType_; }
    StringSetting& moduleFolder() { return moduleFolder_; }
    StringSetting& quickScriptFileName() { return quickScriptFileName_; }
    StringSetting& kestrixLinkUserName() { return kestrixLinkUserName_; }
    StringSetting& kestrixLinkId() { return kestrixLinkId_; }

    // An integer option as stored now (its default when it was never stored), including
    // those owned elsewhere: the menu's checked rules look at exact stored values.
    int32_t storedInteger(const std::string& name) const;

  private:
    SettingsStore& store_;
    BoundedSettingsStore bounded_;
    IntegerSetting debugPortEnabled_;
    IntegerSetting autoUpdate_;
    IntegerSetting lastUpdate_;
    IntegerSetting kestrixLinkIdType_;
    StringSetting moduleFolder_;
    StringSetting quickScriptFileName_;
    StringSetting kestrixLinkUserName_;
    StringSetting kestrixLinkId_;
};

}  // namespace corvane
