// Arbitrary bytes from the FT-series adapter through the link parser and the record decoder.
// Besides crashes and sanitizer findings it checks the parser's promises: no payload longer
// than a record can be made of, every payload decodes without reading past itself, and what
// the encoder frames the parser gives back unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>
#include <vector>

#include "adapters/FtLinkEncoder.h"
#include "adapters/FtLinkParser.h"
#include "adapters/FtLinkRecord.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvane;
    const std::span<const uint8_t> bytes(data, size);

    FtLinkParser parser;
    for (uint8_t b : bytes) {
        auto payload = parser.push(b);
        if (!payload) continue;
        check(payload->size() <= kFtMaxPayload);
        auto decoded = decodeUsbRecord(*payload);
        if (auto* r = std::get_if<UsbRecord>(&decoded)) {
            check(r->length <= UsbRecord::kMaxData);
            check(r->type != UsbRecord::Type::Frame || r->identifier <= 0x1FFFFFFF);
        }
        // What was received re-framed comes back as it was.
        FtLinkParser again;
        std::vector<uint8_t> got;
        bool complete = false;
        for (uint8_t e : encodeFtLink(*payload)) {
            if (auto p = again.push(e)) {
                got.assign(p->begin(), p->end());
                complete = true;
            }
        }
        check(complete && got == std::vector<uint8_t>(payload->begin(), payload->end()));
    }

    // The input as a payload of its own survives framing when a record could hold it.
    FtLinkParser framed;
    size_t payloads = 0;
    for (uint8_t e : encodeFtLink(bytes)) {
        if (auto p = framed.push(e)) {
            ++payloads;
            check(std::equal(p->begin(), p->end(), bytes.begin(), bytes.end()));
        }
    }
    check(payloads == (size <= kFtMaxPayload ? 1u : 0u));
    return 0;
}
