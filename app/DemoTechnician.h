#pragma once

#include "adapters/KestrixLinkDialog.h"

namespace corvane {

// The demo relay's one technician: answers the cloud login with the account the local relay
// knows, so a demo (or a test) connects without anyone typing.
class DemoTechnician final : public KestrixLinkDialog {
  public:
    bool ask(KestrixLinkDetails& details) override;
};

}  // namespace corvane
