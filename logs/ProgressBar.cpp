#include "logs/ProgressBar.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace corvane {

ProgressBar::ProgressBar(std::FILE* out, bool show, Now now)
    : out_(out),
      show_(show),
      now_(now ? std::move(now) : Now(&std::chrono::steady_clock::now)),
      started_(now_()) {}

ProgressBar::~ProgressBar() { finish(); }

bool ProgressBar::wanted(std::FILE* bar, std::FILE* output) {
    if (bar == nullptr || isatty(fileno(bar)) != 1) return false;
    if (output == nullptr || isatty(fileno(output)) != 1) return true;
    struct stat barTerminal {
    }, outputTerminal{};
    if (fstat(fileno(bar), &barTerminal) != 0 || fstat(fileno(output), &outputTerminal) != 0)
        return false;
    return barTerminal.st_rdev != outputTerminal.st_rdev;
}

std::string ProgressBar::formatBytes(uint64_t bytes) {
    char text[32];
    const double value = static_cast<double>(bytes);
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < (uint64_t{1} << 20)) {
        std::snprintf(text, sizeof text, "%.1f kB", value / 1024.0);
    } else if (bytes < (uint64_t{1} << 30)) {
        std::snprintf(text, sizeof text, "%.1f MB", value / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", value / (1024.0 * 1024.0 * 1024.0));
    }
    return text;
}

std::string ProgressBar::format(uint64_t done, uint64_t total, double elapsedSeconds) {
    done = std::min(done, total);
    const double fraction =
        total == 0 ? 0.0 : static_cast<double>(done) / static_cast<double>(total);
    const auto filled = static_cast<size_t>(fraction * static_cast<double>(kBarWidth));
    std::string text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "]";
    char tail[96];
    std::snprintf(tail, sizeof tail, " %3d%%  ", static_cast<int>(fraction * 100.0));
    text += tail;
    text += formatBytes(done) + " of " + formatBytes(total) + "  ";
    if (done == 0 || elapsedSeconds <= 0.0) {
        text += "--:-- left";
    } else {
        const auto left = static_cast<long long>(std::llround(
            elapsedSeconds * static_cast<double>(total - done) / static_cast<double>(done)));
        if (left >= 3600) {
            std::snprintf(tail, sizeof tail, "%lld:%02lld:%02lld left", left / 3600, left / 60 % 60,
                          left % 60);
        } else {
            std::snprintf(tail, sizeof tail, "%lld:%02lld left", left / 60, left % 60);
        }
        text += tail;
    }
    return text;
}

void ProgressBar::update(uint64_t done, uint64_t total) {
    if (!show_) return;
    const auto now = now_();
    if (now - started_ < kQuietStart || now - lastDraw_ < kRedrawEvery) return;
    lastDraw_ = now;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    // "\r" and clear-to-end: the line is rewritten in place.
    std::fprintf(out_, "\r%s\033[K", format(done, total, elapsed).c_str());
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!drawn_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    drawn_ = false;
}

}  // namespace corvane
