// The real gap clock: sleeps until shortly before the end of the gap and
// waits out only the rest, yielding the processor, so that a gap is never
// shorter than asked, rarely much longer, and costs little processor time.
// How early to wake is learnt from how late the sleeps have been returning.
#include "hidlink/link.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#if defined(__linux__)
#include <sys/prctl.h>
#include <time.h>
#endif

namespace quillan {
namespace {

using Clock = std::chrono::steady_clock;

// How early to wake: tracked as the upper part (about the 83rd percentile)
// of the lateness of recent wake-ups plus a small reserve. A later wake-up
// overshoots the gap by what it is late; an earlier one waits out the
// difference. Overshoot costs the download time, waiting processor time;
// the percentile weighs the two.
constexpr int64_t kMinMarginNs = 20'000;
constexpr int64_t kMaxMarginNs = 200'000; // at most a tenth of a keyboard's gap
constexpr int64_t kInitialMarginNs = 150'000;
constexpr int64_t kSpinReserveNs = 10'000;
constexpr int64_t kMarginUpNs = 10'000;  // after a wake-up later than the margin
constexpr int64_t kMarginDownNs = 2'000; // after one within it

int64_t nanosSince(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}

// Sleeps until wake (absolute, so an interrupted sleep resumes correctly).
void sleepUntil(Clock::time_point wake) {
#if defined(__linux__)
    constexpr unsigned long kTimerSlackNs = 1'000;
    // The thread's timer slack (50 us by default) would make every wake-up
    // that much later; keep it small for this sleep only.
    const int oldSlack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    if (oldSlack >= 0)
        prctl(PR_SET_TIMERSLACK, kTimerSlackNs, 0, 0, 0);
    const int64_t ns = wake.time_since_epoch() / std::chrono::nanoseconds(1);
    timespec at{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    // steady_clock is CLOCK_MONOTONIC; EINTR just sleeps again.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0 &&
           Clock::now() < wake) {
    }
    if (oldSlack >= 0)
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(oldSlack), 0, 0, 0);
#else
    std::this_thread::sleep_until(wake);
#endif
}

class RealClock : public GapClock {
  public:
    void waitMicroseconds(int64_t us) override {
        const Clock::time_point start = Clock::now();
        const Clock::time_point deadline = start + std::chrono::microseconds(us);
        const int64_t margin = margin_.load(std::memory_order_relaxed);
        if (us * 1000 > margin) {
            const Clock::time_point wake = deadline - std::chrono::nanoseconds(margin);
            sleepUntil(wake);
            learn(nanosSince(wake, Clock::now()), margin);
        }
        // Yielding rather than spinning on the processor lets the other
        // stations' threads run when they outnumber the cores: their
        // wake-ups are not held back by this one's wait.
        while (Clock::now() < deadline)
            std::this_thread::yield();
    }

  private:
    void learn(int64_t lateness, int64_t margin) {
        const int64_t next =
            lateness + kSpinReserveNs > margin ? margin + kMarginUpNs : margin - kMarginDownNs;
        margin_.store(std::clamp(next, kMinMarginNs, kMaxMarginNs), std::memory_order_relaxed);
    }

    std::atomic<int64_t> margin_{kInitialMarginNs};
};

} // namespace

GapClock& realClock() {
    static RealClock clock;
    return clock;
}

std::unique_ptr<GapClock> makeRealClock() {
    return std::make_unique<RealClock>();
}

} // namespace quillan
