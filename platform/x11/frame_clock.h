#pragma once
// The saver's frame timer on a monotonic clock: one frame every period, and
// after a stall (a suspended process, a busy server) the next frame one
// period after the late one, never a burst of frames to catch up.

#include <cstdint>

// Nanoseconds of CLOCK_MONOTONIC.
std::int64_t MonotonicNanoseconds();

class FrameClock {
public:
    explicit FrameClock(std::int64_t periodNs) : period_(periodNs) {}

    // The first frame is due at `now`.
    void Start(std::int64_t now) {
        next_ = now;
        running_ = true;
    }
    void Stop() { running_ = false; }
    bool Running() const { return running_; }

    bool Due(std::int64_t now) const { return running_ && now >= next_; }
    // Nanoseconds until the next frame (0 when it is due); -1 when stopped.
    std::int64_t Remaining(std::int64_t now) const;
    // Schedules the frame after the one just played at `now`.
    void FramePlayed(std::int64_t now);

    std::int64_t Next() const { return next_; }
    std::int64_t Period() const { return period_; }

private:
    std::int64_t period_;
    std::int64_t next_ = 0;
    bool running_ = false;
};

inline constexpr std::int64_t kFramePeriodNs = 20'000'000;
