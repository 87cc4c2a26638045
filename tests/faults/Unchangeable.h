#pragma once

#include <sys/types.h>

#include <string>

namespace corvane::test {

// Makes a file or folder unchangeable for this process: the immutable attribute for root
// (whom permissions do not stop), read-only permissions for anybody else. Undone when the
// object goes. active() says whether it took: a file system without the attribute cannot
// play this fault for root.
class Unchangeable {
  public:
    explicit Unchangeable(std::string path);
    ~Unchangeable();
    Unchangeable(const Unchangeable&) = delete;
    Unchangeable& operator=(const Unchangeable&) = delete;
    bool active() const { return active_; }

  private:
    bool setImmutable(bool on);

    std::string path_;
    mode_t mode_ = 0;
    bool active_ = false;
};

}  // namespace corvane::test
