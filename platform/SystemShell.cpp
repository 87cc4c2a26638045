#include "platform/SystemShell.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <thread>

#include "platform/FileInfo.h"
#include "platform/ProcessTable.h"

extern char** environ;

namespace corvane {

namespace {

bool spawn(const std::string& program, const std::vector<std::string>& args, bool searchPath) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int error = searchPath
                    ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                    : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) return false;
    // Nobody waits for a started program; this thread only collects its exit status.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

std::string lastComponent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<std::string> SystemShell::splitWords(const std::string& parameters) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < parameters.size()) {
        while (i < parameters.size() && parameters[i] == ' ') ++i;
        size_t start = i;
        while (i < parameters.size() && parameters[i] != ' ') ++i;
        if (i > start) words.push_back(parameters.substr(start, i - start));
    }
    return words;
}

bool SystemShell::open(const std::string& file, const std::string& parameters) {
    if (file.empty()) return false;
    const bool hasFolder = file.find('/') != std::string::npos;
    if (FileInfo::isExecutable(file) || !hasFolder) {
        std::vector<std::string> args{file};
        for (auto& word : splitWords(parameters)) args.push_back(std::move(word));
        // A bare name is looked up like a shell would, along PATH.
        if (spawn(file, args, !hasFolder)) return true;
        if (!hasFolder) return false;
    }
    if (::access(file.c_str(), R_OK) != 0) return false;
    return spawn("xdg-open", {"xdg-open", file}, true);
}

void SystemShell::killImage(const std::string& name) {
    const std::string image = lastComponent(name);
    if (image.empty()) return;
    const pid_t self = ::getpid();
    auto table = ProcessTable::snapshot();
    std::set<pid_t> doomed;
    for (const auto& p : table) {
        if (p.pid != self && p.image == image) doomed.insert(p.pid);
    }
    // The children of the matched processes, and theirs, down the tree.
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& p : table) {
            if (p.pid != self && doomed.count(p.parent) && !doomed.count(p.pid)) {
                doomed.insert(p.pid);
                grew = true;
            }
        }
    }
    for (pid_t pid : doomed) ::kill(pid, SIGKILL);
}

}  // namespace corvane
