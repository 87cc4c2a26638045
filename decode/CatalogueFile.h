#pragma once

#include <string>
#include <vector>

#include "decode/Catalogue.h"

namespace corvane::decode {

// Reads a user's catalogue file and merges it into `into`: its messages extend the catalogue
// and replace those with the same DGN. A file ending in .yml or .yaml is read in the
// community YAML schema, anything else in our own text format. Lines or parameters that cannot
// be read land in `warnings` ("file: line 3: ..."), the rest is still taken. False (with the
// reason in `warnings`) when the file cannot be read or holds no message at all.
bool loadCatalogueFile(const std::string& path, Catalogue& into,
                       std::vector<std::string>& warnings);

// Every catalogue file in `folder` (names ending in .yml, .yaml or .cat; nothing below it),
// read as loadCatalogueFile reads them in the order of their names, so that a later file
// overrides an earlier one ("50-coach.yml" over "10-maker.yml"). A folder that is not there
// holds none and says nothing; a file that cannot be used is reported in `warnings` and the
// others are still taken. Returns how many files were taken.
size_t loadCatalogueFolder(const std::string& folder, Catalogue& into,
                           std::vector<std::string>& warnings);

}  // namespace corvane::decode
