#pragma once

#include <string_view>

#include "decode/CatalogueText.h"

namespace corvane::decode {

// A catalogue in the YAML schema the community's RV-C tools share: the DGN in hex as the key,
// then `name`, optional `alias` (another DGN whose fields it shares) and `parameters`, each with
// `byte` ("2" or "2-3"), optional `bit` ("0-1"), `name`, `type`, `unit` and `values`.
//
//   1FFB7:
//     name: TANK_STATUS
//     parameters:
//       - byte: 0
//         name: instance
//         type: uint8
//         values: {0: fresh water, 1: black waste}
//       - byte: 1
//         name: relative level
//
// The files give no scale: the unit's standard RV-C conversion applies. Value keys of bit
// fields ("bit", "bit2", ...) are binary ("01", "11"), others decimal. Keys that are not DGNs
// (API_VERSION) are ignored; a parameter that cannot be read is reported and left out, the
// rest of its message kept. A file that is not YAML at all gives one error and no messages.
CatalogueParse parseCommunityYaml(std::string_view text);

}  // namespace corvane::decode
