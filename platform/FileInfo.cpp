#include "platform/FileInfo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace corvane {

std::optional<int64_t> FileInfo::lastWriteTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<int64_t>(info.st_mtim.tv_sec);
}

bool FileInfo::isExecutable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return S_ISREG(info.st_mode) && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

std::string FileInfo::executableFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::optional<LocalTime> FileInfo::toLocalTime(int64_t epochSeconds) {
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr) return std::nullopt;
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                     local.tm_min};
}

}  // namespace corvane
