#include "engine/MainWindowState.h"

#include <utility>

#include "common/GbkTexts.h"

namespace chengfan::engine {

namespace {

std::size_t indexOf(Field field) { return static_cast<std::size_t>(field); }
std::size_t indexOf(TimerId id) { return static_cast<std::size_t>(id); }

}  // namespace

MainWindowState::MainWindowState(TimerDriver& timers) : timers_(timers) {
    texts_[indexOf(Field::currentTask)] = "0";
    texts_[indexOf(Field::remainingTasks)] = "0";
    texts_[indexOf(Field::version)] = "3.0";
    texts_[indexOf(Field::statusText)] = common::kStatusNotStarted;
    texts_[indexOf(Field::lastRunText)] = common::kLastRunInitial;
}

const common::Text& MainWindowState::text(Field field) const { return texts_[indexOf(field)]; }

void MainWindowState::setText(Field field, common::Text value) {
    common::Text& slot = texts_[indexOf(field)];
    slot = std::move(value);
    if (observer_ != nullptr) observer_->textChanged(field, slot);
}

std::int32_t MainWindowState::timerPeriod(TimerId id) const { return periods_[indexOf(id)]; }

void MainWindowState::setTimerPeriod(TimerId id, std::int32_t periodMs) {
    if (periodMs < 0) periodMs = 0;
    std::int32_t& current = periods_[indexOf(id)];
    if (periodMs == current) return;
    current = periodMs;
    if (periodMs == 0) {
        timers_.stopTimer(id);
    } else {
        timers_.startTimer(id, periodMs);
    }
    if (observer_ != nullptr) observer_->timerPeriodChanged(id, periodMs);
}

void MainWindowState::setObserver(StateObserver* observer) { observer_ = observer; }

}  // namespace chengfan::engine
