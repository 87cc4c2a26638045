#include "demo/DemoTechnician.h"

namespace corvane {

bool DemoTechnician::ask(KestrixLinkDetails& details) {
    details.userName = "technician";
    details.password = "service";
    details.linkId = "DEMO-RV";
    details.otcText = "1234";
    details.linkIdType = KestrixLinkDetails::kByRvId;
    return true;
}

}  // namespace corvane
