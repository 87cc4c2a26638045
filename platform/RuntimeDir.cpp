#include "platform/RuntimeDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace corvane {

namespace {

constexpr size_t kMaxSlotName = 64;

// `what` and the system's word for `error` (taken before anything could change errno).
std::string because(int error, std::string_view what) {
    return std::string(what) + ": " + std::strerror(error);
}

// Makes `path` (and any missing parent) and checks that it is this user's own folder, mode 0700.
// Empty when it is; otherwise why not. Other users may never write to it: they could plant
// sockets or a lock file in it. Looser read rights of our own folder are tightened.
std::string makePrivateFolder(const std::string& path) {
    if (path.empty()) return "is not named";
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string parent = path.substr(0, slash);
        if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) {
            const int error = errno;
            return because(error, "cannot be created (" + parent + ")");
        }
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return because(errno, "cannot be created");
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return because(errno, "cannot be examined");
    if (S_ISLNK(info.st_mode)) return "is a symbolic link";
    if (!S_ISDIR(info.st_mode)) return "is not a folder";
    if (info.st_uid != ::getuid()) {
        return "belongs to another user (uid " + std::to_string(info.st_uid) + ")";
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "is writable by other users";
    if ((info.st_mode & 0777) != 0700 && ::chmod(path.c_str(), 0700) != 0) {
        return because(errno, "cannot be made private");
    }
    return {};
}

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

RuntimeDirCheck checkRuntimeDirectory() {
    RuntimeDirCheck check;
    check.path = fromEnvironment("CORVANE_RUNTIME_DIR");
    if (check.path.empty()) {
        std::string xdg = fromEnvironment("XDG_RUNTIME_DIR");
        check.path = xdg.empty() ? "/tmp/corvane-" + std::to_string(::getuid()) : xdg + "/corvane";
    }
    while (check.path.size() > 1 && check.path.back() == '/') check.path.pop_back();
    check.problem = makePrivateFolder(check.path);
    return check;
}

std::optional<std::string> runtimeDirectory() {
    RuntimeDirCheck check = checkRuntimeDirectory();
    if (!check.usable()) return std::nullopt;
    return check.path;
}

std::optional<std::string> mailslotDirectory() {
    auto runtime = runtimeDirectory();
    if (!runtime) return std::nullopt;
    std::string mailslots = *runtime + "/mailslot";
    std::string rvc = mailslots + "/RVC";
    if (!makePrivateFolder(mailslots).empty() || !makePrivateFolder(rvc).empty()) {
        return std::nullopt;
    }
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
