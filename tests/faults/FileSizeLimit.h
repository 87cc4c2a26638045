#pragma once

#include <sys/resource.h>

#include <csignal>

namespace corvane::test {

// A file-size limit for this process, as a full disk shows itself to a writer: writes past
// `bytes` fail (EFBIG) instead of raising SIGXFSZ. Restored when the object goes.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

}  // namespace corvane::test
