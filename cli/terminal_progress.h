// A progress bar on standard error, redrawn when its position changes; none
// when standard error is not a terminal.
#pragma once

#include "hidlink/link.h"

#include <cstdio>
#include <unistd.h>

namespace quillan::cli {

class TerminalProgress {
  public:
    ProgressSink sink() {
        return ProgressSink{[this](int range) { start(range); },
                            [this](int position) { draw(position); }};
    }
    void finish() {
        if (range_ > 0)
            std::fputc('\n', stderr);
        range_ = 0;
    }

  private:
    static constexpr int kWidth = 40;
    void start(int range) {
        finish();
        if (!isatty(fileno(stderr)))
            return; // no bar in logs and pipes
        range_ = range;
        shown_ = -1;
        draw(0);
    }
    void draw(int position) {
        if (range_ <= 0)
            return;
        const int filled = static_cast<int>(static_cast<long>(position) * kWidth / range_);
        if (filled == shown_ && position != range_)
            return;
        shown_ = filled;
        std::fprintf(stderr, "\r[%-*.*s] %d/%d", kWidth, filled,
                     "########################################", position, range_);
        std::fflush(stderr);
    }
    int range_ = 0;
    int shown_ = -1;
};

} // namespace quillan::cli
