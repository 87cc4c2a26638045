#include "modules/FolderListing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace corvane {

namespace {

namespace fs = std::filesystem;

template <typename Keep>
std::vector<std::string> listNames(const std::string& folder, Keep keep) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (keep(*it)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

bool FolderListing::hasExtension(std::string_view name, std::string_view extension) {
    if (name.size() <= extension.size()) return false;
    auto tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

std::vector<std::string> FolderListing::filesWithExtension(const std::string& folder,
                                                           std::string_view extension) {
    return listNames(folder, [&](const fs::directory_entry& e) {
        std::error_code error;
        return !e.is_directory(error) && hasExtension(e.path().filename().string(), extension);
    });
}

std::vector<std::string> FolderListing::files(const std::string& folder) {
    return listNames(folder, [](const fs::directory_entry& e) {
        std::error_code error;
        return !e.is_directory(error);
    });
}

std::vector<std::string> FolderListing::subfolders(const std::string& folder) {
    return listNames(folder, [](const fs::directory_entry& e) {
        std::error_code error;
        return e.is_directory(error);
    });
}

}  // namespace corvane
