#include "platform/RuntimeDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace corvane {

namespace {

constexpr size_t kMaxSlotName = 64;

// Makes `path` (and any missing parent) and checks that it is this user's own folder, mode 0700.
bool ensurePrivateFolder(const std::string& path) {
    if (path.empty()) return false;
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string parent = path.substr(0, slash);
        if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return false;
    if ((info.st_mode & 0777) != 0700 && ::chmod(path.c_str(), 0700) != 0) return false;
    return true;
}

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

std::optional<std::string> runtimeDirectory() {
    std::string path = fromEnvironment("CORVANE_RUNTIME_DIR");
    if (path.empty()) {
        std::string xdg = fromEnvironment("XDG_RUNTIME_DIR");
        path = xdg.empty() ? "/tmp/corvane-" + std::to_string(::getuid()) : xdg + "/corvane";
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!ensurePrivateFolder(path)) return std::nullopt;
    return path;
}

std::optional<std::string> mailslotDirectory() {
    auto runtime = runtimeDirectory();
    if (!runtime) return std::nullopt;
    std::string mailslots = *runtime + "/mailslot";
    std::string rvc = mailslots + "/RVC";
    if (!ensurePrivateFolder(mailslots) || !ensurePrivateFolder(rvc)) return std::nullopt;
    return rvc;
}

bool isValidSlotName(std::string_view name) {
    if (name.empty() || name.size() > kMaxSlotName || name == "." || name == "..") return false;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127 || c == '/' || c == '\\') return false;
    }
    return true;
}

std::optional<std::string> mailslotPath(std::string_view name) {
    if (!isValidSlotName(name)) return std::nullopt;
    auto folder = mailslotDirectory();
    if (!folder) return std::nullopt;
    return *folder + "/" + std::string(name);
}

}  // namespace corvane
