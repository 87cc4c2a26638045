#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace corvane {

class Shell;

// The programs the tool has started (modules, Quillon), by file name in start order;
// duplicates stay and nothing is removed. killAll stops them all by image name, but only while
// some module client is registered on the client bus: with none, there is nothing of ours
// that could still be running.
//
// add and killAll run on the user-interface thread, the "apps" report on the debug port's
// listener; mutex_ guards the list.
class AppKiller {
  public:
    using ClientCount = std::function<size_t()>;
    AppKiller(Shell& shell, ClientCount clientCount);

    void add(const std::string& name);
    void killAll();
    // The "apps" report: "AppKiller Report\n\r", then each name and "\n\r".
    std::string report() const;
    std::vector<std::string> names() const;

  private:
    Shell& shell_;
    ClientCount clientCount_;
    mutable std::mutex mutex_;  // guards names_
    std::vector<std::string> names_;
};

}  // namespace corvane
