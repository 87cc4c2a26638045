#include "platform/ProcessTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace corvane {

namespace {

// A process may end while its files are read: the read then fails with ESRCH. Plain read(2)
// so that reads as an empty file; a file stream would throw from inside its buffer.
std::string readWhole(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0) text.clear();
            break;
        }
    }
    ::close(fd);
    return text;
}

// "pid (comm) S ppid ...": the name may hold blanks and parentheses, so read after the last ')'.
bool parseStat(const std::string& text, pid_t& parent, char& state) {
    size_t close = text.rfind(')');
    if (close == std::string::npos || close + 4 > text.size()) return false;
    state = text[close + 2];
    parent = static_cast<pid_t>(std::strtol(text.c_str() + close + 4, nullptr, 10));
    return true;
}

std::string lastComponent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<ProcessInfo> ProcessTable::snapshot() {
    std::vector<ProcessInfo> table;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return table;
    const uid_t me = ::getuid();
    while (dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid <= 0) continue;
        std::string base = std::string("/proc/") + entry->d_name;
        struct stat info {};
        if (::stat(base.c_str(), &info) != 0 || info.st_uid != me) continue;
        ProcessInfo process;
        process.pid = static_cast<pid_t>(pid);
        char state = '?';
        if (!parseStat(readWhole(base + "/stat"), process.parent, state) || state == 'Z') continue;
        char target[4096];
        ssize_t n = ::readlink((base + "/exe").c_str(), target, sizeof target - 1);
        if (n > 0) {
            std::string exe(target, static_cast<size_t>(n));
            const std::string deleted = " (deleted)";
            if (exe.size() > deleted.size() &&
                exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
                exe.resize(exe.size() - deleted.size());
            }
            process.image = lastComponent(exe);
        }
        std::string cmdline = readWhole(base + "/cmdline");
        for (size_t start = 0; start < cmdline.size();) {
            size_t zero = cmdline.find('\0', start);
            if (zero == std::string::npos) zero = cmdline.size();
            process.args.push_back(cmdline.substr(start, zero - start));
            start = zero + 1;
        }
        table.push_back(std::move(process));
    }
    ::closedir(proc);
    return table;
}

bool ProcessTable::isAlive(pid_t pid) {
    std::string text = readWhole("/proc/" + std::to_string(pid) + "/stat");
    pid_t parent = 0;
    char state = '?';
    return parseStat(text, parent, state) && state != 'Z' && state != 'X';
}

}  // namespace corvane
