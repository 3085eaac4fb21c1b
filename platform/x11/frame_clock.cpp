#include "platform/x11/frame_clock.h"

#include <time.h>

std::int64_t MonotonicNanoseconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t FrameClock::Remaining(std::int64_t now) const {
    if (!running_) return -1;
    return now >= next_ ? 0 : next_ - now;
}

void FrameClock::FramePlayed(std::int64_t now) {
    // Keeping to the grid absorbs the jitter of the wake-ups; a frame that
    // came a whole period late or more restarts the grid from now.
    next_ += period_;
    if (next_ <= now) next_ = now + period_;
}
