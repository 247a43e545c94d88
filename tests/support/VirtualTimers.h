#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/MainWindowState.h"

namespace chengfan::testing {

// MainWindow's six timers in virtual milliseconds, with the rules of the GUI
// thread: a timer ticks once per period, counted from its last start; a tick
// that falls due while a handler runs is delivered when the thread next takes
// events (after the handler, or inside a message box's wait); the ticks of one
// timer never pile up, at most one is pending, and a late tick does not shift
// the timer's rhythm. Nothing sleeps: time moves only when a test says so.
class VirtualTimers final : public engine::TimerDriver {
public:
    using TickHandler = std::function<void(engine::TimerId)>;

    struct Tick {
        engine::TimerId id;
        std::int64_t atMs;
    };

    void setTickHandler(TickHandler handler);

    void startTimer(engine::TimerId id, std::int32_t periodMs) override;
    void stopTimer(engine::TimerId id) override;

    std::int64_t now() const { return nowMs_; }
    bool isRunning(engine::TimerId id) const;
    std::int32_t period(engine::TimerId id) const;
    // When the timer's next tick falls due; meaningful only while it runs.
    std::int64_t nextDue(engine::TimerId id) const;

    // The thread takes events for ms of virtual time: every tick that falls due
    // meanwhile is delivered in order of its due time (ties in timer order), each
    // handler running to its end. Ticks already pending are delivered first, even
    // when ms is 0. May be called from inside a handler (a message box's wait).
    void advance(std::int64_t ms);
    void advanceTo(std::int64_t atMs);

    // The thread is busy for ms (a download): time passes, nothing is delivered.
    void passBusy(std::int64_t ms);

    // The program has ended: no tick is delivered any more.
    void halt() { halted_ = true; }
    bool halted() const { return halted_; }

    // Every tick delivered so far, in order.
    const std::vector<Tick>& delivered() const { return delivered_; }

private:
    struct TimerSlot {
        bool running = false;
        std::int32_t periodMs = 0;
        std::int64_t dueMs = 0;
    };

    // The running timer whose tick is due soonest; -1 when none runs.
    int earliest() const;
    void deliver(int index);

    TickHandler handler_;
    std::array<TimerSlot, engine::kTimerCount> timers_{};
    std::int64_t nowMs_ = 0;
    bool halted_ = false;
    std::vector<Tick> delivered_;
};

}  // namespace chengfan::testing
