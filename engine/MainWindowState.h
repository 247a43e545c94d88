#pragma once

#include <array>
#include <cstdint>

#include "common/Text.h"

namespace chengfan::engine {

// The texts that MainWindow shows, one per control.
enum class Field {
    currentTask,     // 编辑框5
    remainingTasks,  // 编辑框1
    url,             // 编辑框2
    savePath,        // 编辑框3
    loopMinutes,     // 编辑框4
    version,         // 编辑框6 (hidden)
    statusText,      // 标签1
    lastRunText,     // 标签5
};
inline constexpr int kFieldCount = 8;

// MainWindow's six timers, 时钟1 to 时钟6.
enum class TimerId { timer1, timer2, timer3, timer4, timer5, timer6 };
inline constexpr int kTimerCount = 6;

// Runs the real timers: Qt timers in the program, virtual time in the tests.
class TimerDriver {
public:
    virtual ~TimerDriver() = default;
    // Starts the timer afresh, stopping it first if it runs: the first tick comes
    // one period from now. period > 0.
    virtual void startTimer(TimerId id, std::int32_t periodMs) = 0;
    virtual void stopTimer(TimerId id) = 0;
};

// Told of every write at once, so the window can show "任务进行中......" before
// the engine blocks in a download.
class StateObserver {
public:
    virtual ~StateObserver() = default;
    virtual void textChanged(Field field, const common::Text& value) = 0;
    virtual void timerPeriodChanged(TimerId /*id*/, std::int32_t /*periodMs*/) {}
};

// The run engine's whole working state: the texts of MainWindow and the periods
// of its timers.
class MainWindowState {
public:
    explicit MainWindowState(TimerDriver& timers);

    const common::Text& text(Field field) const;
    // Every write is announced, also one that leaves the value as it was.
    void setText(Field field, common::Text value);

    std::int32_t timerPeriod(TimerId id) const;
    // A negative period counts as 0 and 0 stops the timer. Writing the period the
    // timer already has changes nothing: a running timer keeps its phase, or the
    // next task would drift. Any other positive period restarts the timer.
    void setTimerPeriod(TimerId id, std::int32_t periodMs);

    // One observer at a time; nullptr detaches it.
    void setObserver(StateObserver* observer);

private:
    TimerDriver& timers_;
    StateObserver* observer_ = nullptr;
    std::array<common::Text, kFieldCount> texts_;
    std::array<std::int32_t, kTimerCount> periods_{};
};

}  // namespace chengfan::engine
