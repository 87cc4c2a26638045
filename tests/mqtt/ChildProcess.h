#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace corvane::test {

// A program a test starts, its output going to files in /tmp. The destructor kills what still
// runs. One test thread uses it.
class ChildProcess {
  public:
    explicit ChildProcess(std::vector<std::string> argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() const { return pid_ > 0; }
    // Its exit status once it ended by itself within `limitMs`; -1 otherwise (still running,
    // or killed by a signal).
    int waitForExit(int limitMs);
    // Sends `signal` and waits for the end.
    void kill(int signal);
    std::string out() const;
    std::string err() const;

  private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string outFile_;
    std::string errFile_;
};

}  // namespace corvane::test
