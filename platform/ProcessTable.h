#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace corvane {

// One process of this user as /proc shows it.
struct ProcessInfo {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string image;              // last component of the executable's path
    std::vector<std::string> args;  // the command line, argv[0] first
};

// The processes of the current user, read from /proc. Processes that end while the table is
// read are left out.
class ProcessTable {
  public:
    static std::vector<ProcessInfo> snapshot();
    // True while `pid` exists and has not ended (a zombie counts as ended).
    static bool isAlive(pid_t pid);
};

}  // namespace corvane
