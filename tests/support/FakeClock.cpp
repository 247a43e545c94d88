#include "FakeClock.h"

#include <chrono>

#include "VirtualTimers.h"

namespace chengfan::testing {

FakeClock::FakeClock(const VirtualTimers* timers, common::DateTime start)
    : timers_(timers), start_(start) {}

common::DateTime FakeClock::now() { return at(timers_ != nullptr ? timers_->now() : 0); }

common::DateTime FakeClock::at(std::int64_t atMs) const {
    using namespace std::chrono;
    const sys_days startDay = year_month_day{year{start_.year}, month{static_cast<unsigned>(start_.month)},
                                             day{static_cast<unsigned>(start_.day)}};
    const sys_seconds startTime = startDay + hours{start_.hour} + minutes{start_.minute} +
                                  seconds{start_.second};
    const sys_seconds time = startTime + duration_cast<seconds>(milliseconds{atMs});
    const sys_days today = floor<days>(time);
    const year_month_day date{today};
    const hh_mm_ss<seconds> clock{time - today};
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count())};
}

}  // namespace chengfan::testing
