#include "decode/CatalogueFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "decode/CatalogueText.h"
#include "decode/CommunityYaml.h"

namespace corvane::decode {

namespace {

// Catalogues are small; a larger file is not one.
constexpr std::streamoff kMaxCatalogueBytes = std::streamoff{16} << 20;

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool loadCatalogueFile(const std::string& path, Catalogue& into,
                       std::vector<std::string>& warnings) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        warnings.push_back(path + ": cannot be read");
        return false;
    }
    const std::streamoff size = file.tellg();
    if (size < 0 || size > kMaxCatalogueBytes) {
        warnings.push_back(path + ": too large for a catalogue");
        return false;
    }
    std::string text(static_cast<size_t>(size), '\0');
    file.seekg(0);
    file.read(text.data(), size);
    const bool yaml = endsWith(path, ".yml") || endsWith(path, ".yaml");
    CatalogueParse parsed = yaml ? parseCommunityYaml(text) : parseCatalogueText(text);
    for (const std::string& error : parsed.errors) warnings.push_back(path + ": " + error);
    if (parsed.catalogue.size() == 0) {
        warnings.push_back(path + ": no message in it");
        return false;
    }
    into.merge(std::move(parsed.catalogue));
    return true;
}

size_t loadCatalogueFolder(const std::string& folder, Catalogue& into,
                           std::vector<std::string>& warnings) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_directory(folder, error)) return 0;
    std::vector<std::string> files;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const bool catalogue =
            endsWith(name, ".yml") || endsWith(name, ".yaml") || endsWith(name, ".cat");
        if (catalogue && !name.starts_with(".") && it->is_regular_file(error)) {
            files.push_back(it->path().string());
        }
    }
    if (error) warnings.push_back(folder + ": " + error.message());
    std::sort(files.begin(), files.end());
    size_t taken = 0;
    for (const std::string& path : files) {
        if (loadCatalogueFile(path, into, warnings)) ++taken;
    }
    return taken;
}

}  // namespace corvane::decode
