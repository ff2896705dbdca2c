#include "data/Clock.h"

#include <ctime>
#include <sys/time.h>

namespace qd {

Moment SystemClock::now() const {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm local{};
    const time_t secs = tv.tv_sec;
    localtime_r(&secs, &local);
    Moment m;
    m.date = dateFromMDY(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    m.time = timeFromHMS(local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(tv.tv_usec / 10000));
    return m;
}

void ManualClock::advance(long long hundredths) {
    long long t = static_cast<long long>(now_.time) + hundredths;
    long long d = now_.date;
    while (t > kTimeDay) {
        t -= kTimeDay;
        ++d;
    }
    while (t < 1) {
        t += kTimeDay;
        --d;
    }
    now_.date = static_cast<Date>(d);
    now_.time = static_cast<Time>(t);
}

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

} // namespace qd
