#include "VirtualTimers.h"

#include <stdexcept>
#include <utility>

namespace chengfan::testing {

namespace {

std::size_t indexOf(engine::TimerId id) { return static_cast<std::size_t>(id); }

}  // namespace

void VirtualTimers::setTickHandler(TickHandler handler) { handler_ = std::move(handler); }

void VirtualTimers::startTimer(engine::TimerId id, std::int32_t periodMs) {
    if (periodMs <= 0) throw std::invalid_argument("startTimer needs a positive period");
    TimerSlot& slot = timers_[indexOf(id)];
    slot.running = true;
    slot.periodMs = periodMs;
    slot.dueMs = nowMs_ + periodMs;
}

void VirtualTimers::stopTimer(engine::TimerId id) {
    TimerSlot& slot = timers_[indexOf(id)];
    slot.running = false;
    slot.periodMs = 0;
}

bool VirtualTimers::isRunning(engine::TimerId id) const { return timers_[indexOf(id)].running; }

std::int32_t VirtualTimers::period(engine::TimerId id) const {
    return timers_[indexOf(id)].periodMs;
}

std::int64_t VirtualTimers::nextDue(engine::TimerId id) const { return timers_[indexOf(id)].dueMs; }

int VirtualTimers::earliest() const {
    int found = -1;
    for (int i = 0; i < engine::kTimerCount; ++i) {
        const TimerSlot& slot = timers_[static_cast<std::size_t>(i)];
        if (!slot.running) continue;
        if (found < 0 || slot.dueMs < timers_[static_cast<std::size_t>(found)].dueMs) found = i;
    }
    return found;
}

void VirtualTimers::deliver(int index) {
    TimerSlot& slot = timers_[static_cast<std::size_t>(index)];
    // Every due point up to now is folded into this one tick; the next one stays
    // on the timer's rhythm.
    while (slot.dueMs <= nowMs_) slot.dueMs += slot.periodMs;
    const auto id = static_cast<engine::TimerId>(index);
    delivered_.push_back({id, nowMs_});
    if (handler_) handler_(id);
}

void VirtualTimers::advance(std::int64_t ms) {
    if (ms < 0) throw std::invalid_argument("time does not run backwards");
    advanceTo(nowMs_ + ms);
}

void VirtualTimers::advanceTo(std::int64_t atMs) {
    while (!halted_) {
        const int next = earliest();
        if (next < 0) break;
        const std::int64_t due = timers_[static_cast<std::size_t>(next)].dueMs;
        // A pending tick (due already) is taken even past the target time.
        if (due > atMs && due > nowMs_) break;
        if (due > nowMs_) nowMs_ = due;
        deliver(next);
    }
    if (nowMs_ < atMs) nowMs_ = atMs;
}

void VirtualTimers::passBusy(std::int64_t ms) {
    if (ms < 0) throw std::invalid_argument("time does not run backwards");
    nowMs_ += ms;
}

}  // namespace chengfan::testing
