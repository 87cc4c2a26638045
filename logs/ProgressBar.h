#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace corvane {

// A progress bar on a terminal for programs that read a long log: drawn on one line of
// `out` (stderr), only when shown (see wanted) and once the work has taken more than a second
// already, redrawn at most ten times a second, and wiped by finish().
//
// Owned by one thread.
class ProgressBar {
  public:
    static constexpr std::chrono::milliseconds kQuietStart{1000};
    static constexpr std::chrono::milliseconds kRedrawEvery{100};
    static constexpr size_t kBarWidth = 30;
    using Now = std::function<std::chrono::steady_clock::time_point()>;

    // `show`: draw at all; `now`: the clock (the steady clock when not given).
    ProgressBar(std::FILE* out, bool show, Now now = {});
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // The rule of every program: a bar on `bar` when it is a terminal and `output`, what the
    // program writes while the bar is up, does not go to that same terminal (the two would
    // mix on its lines). Null `output`: the program writes nothing meanwhile (a report printed
    // once the log is read, messages that go to a broker).
    //   stderr a terminal, stdout a file or a pipe -> true;  both the same terminal -> false
    static bool wanted(std::FILE* bar, std::FILE* output);

    // `done` of `total` bytes read.
    void update(uint64_t done, uint64_t total);
    // Clears the bar's line, if one was drawn.
    void finish();

    // The bar's text for `done` of `total` after `elapsedSeconds`, the time left extrapolated
    // from the rate so far (unknown before anything is done):
    //   (0, 0, ...)            -> "[" + 30 blanks + "]   0%"  plus sizes and "--:-- left"
    //   (512 MiB, 1 GiB, 10 s) -> "[###############               ]  50%  512.0 MB of 1.00 GB
    //                              0:10 left"
    static std::string format(uint64_t done, uint64_t total, double elapsedSeconds);
    // 999 -> "999 B", 1536 -> "1.5 kB", 5 MiB -> "5.0 MB", 3 GiB -> "3.00 GB" (powers of 1024).
    static std::string formatBytes(uint64_t bytes);

  private:
    std::FILE* out_;
    bool show_;
    Now now_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace corvane
