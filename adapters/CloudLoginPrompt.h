#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// What the technician types into the "KestrixLink Connection" dialog.
struct KestrixLinkDetails {
    static constexpr int32_t kByRvId = 0;
    static constexpr int32_t kByModuleId = 1;

    std::string userName;
    std::string password;  // held in memory only, never stored
    std::string linkId;    // the RV ID or the module ID
    std::string otcText;   // the one-time code from the vehicle's display, digits only
    int32_t linkIdType = kByRvId;
};

// How the cloud adapter asks for login details: the main window shows the real dialog,
// headless runs and tests answer without a window. Called on the user-interface thread.
class CloudLoginPrompt {
  public:
    virtual ~CloudLoginPrompt() = default;
    // Shows the dialog pre-filled with `details`; true on OK, with `details` holding what
    // was typed. Anything but OK leaves `details` unchanged.
    virtual bool ask(KestrixLinkDetails& details) = 0;
};

}  // namespace corvane
