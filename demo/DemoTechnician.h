#pragma once

#include "adapters/CloudLoginPrompt.h"

namespace corvane {

// The demo relay's one technician: answers the cloud login with the account the local relay
// knows, so a demo (or a test) connects without anyone typing.
class DemoTechnician final : public CloudLoginPrompt {
  public:
    bool ask(KestrixLinkDetails& details) override;
};

}  // namespace corvane
