// A rate: a bucket that holds whole events in thousandths, refilled at
// `perSecond` events a second up to `burst`. An event may happen while the
// bucket holds one whole; it takes it. The refill counts only time that has
// passed: a clock that goes back adds nothing, and the bucket counts on
// from the earlier time from the next event asked for on.
#pragma once

#include <algorithm>
#include <cstdint>

namespace jq::net {

struct Rate {
    int perSecond = 1;
    int burst = 1;
    int64_t FullMilli() const { return int64_t{burst} * 1000; }
};

class RateBucket {
public:
    // Full at `nowMs`.
    RateBucket(Rate rate, int64_t nowMs) : milli_(rate.FullMilli()), at_(nowMs) {}

    // What the bucket holds at `nowMs`, in thousandths of an event.
    int64_t Level(Rate rate, int64_t nowMs) const {
        return std::min(rate.FullMilli(), milli_ + std::max<int64_t>(0, nowMs - at_) * rate.perSecond);
    }
    bool Full(Rate rate, int64_t nowMs) const { return Level(rate, nowMs) >= rate.FullMilli(); }
    // Whether an event may happen at `nowMs` (the bucket holds one whole);
    // the bucket counts on from `nowMs`.
    bool Ready(Rate rate, int64_t nowMs) {
        milli_ = Level(rate, nowMs);
        at_ = nowMs;
        return milli_ >= 1000;
    }
    // An event at `nowMs`: true, and paid for, when it may happen.
    bool Take(Rate rate, int64_t nowMs) {
        if (!Ready(rate, nowMs)) return false;
        milli_ -= 1000;
        return true;
    }

private:
    int64_t milli_;
    int64_t at_;
};

}  // namespace jq::net
