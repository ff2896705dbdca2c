// The clock every part of the program reads. Production code uses the system
// clock; tests, benchmarks and `qdctl --now` use a clock set to any moment.
#pragma once

#include "data/Calendar.h"

#include <chrono>

namespace qd {

class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time now.
    virtual Moment now() const = 0;
    Date today() const { return now().date; }
    Time clockTime() const { return now().time; }
};

// Local wall-clock time of this machine (honours TZ).
class SystemClock final : public Clock {
public:
    Moment now() const override;
};

// A clock that stands still until told to move.
class ManualClock final : public Clock {
public:
    explicit ManualClock(Moment start = {}) : now_(start) {}
    Moment now() const override { return now_; }
    void set(Moment m) { now_ = m; }
    // Moves forward by a number of time units (hundredths of a second), carrying
    // whole days into the date.
    void advance(long long hundredths);
    void advanceSeconds(long long s) { advance(s * kTimeSecond); }
    void advanceDays(int days) { now_.date += days; }

private:
    Moment now_;
};

// The machine's wall clock. Parts that are handed no clock of their own read
// this one; nothing can replace it, so a simulated moment is always passed in.
const Clock& systemClock();

} // namespace qd
