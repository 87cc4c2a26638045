#include "tests/mqtt/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/support/WaitUntil.h"

extern char** environ;

namespace corvane::test {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv) {
    char base[] = "/tmp/corvane-child-XXXXXX";
    const int fd = ::mkstemp(base);
    if (fd >= 0) ::close(fd);
    outFile_ = std::string(base) + ".out";
    errFile_ = std::string(base) + ".err";
    ::unlink(base);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    kill(SIGKILL);
    ::unlink(outFile_.c_str());
    ::unlink(errFile_.c_str());
}

int ChildProcess::waitForExit(int limitMs) {
    waitUntil(
        [this] {
            if (pid_ <= 0) return true;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
            pid_ = -1;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        },
        std::chrono::milliseconds(limitMs));
    return pid_ > 0 ? -1 : status_;
}

void ChildProcess::kill(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
}

std::string ChildProcess::out() const { return readFile(outFile_); }
std::string ChildProcess::err() const { return readFile(errFile_); }

}  // namespace corvane::test
