#pragma once

#include <array>
#include <functional>

#include "engine/MainWindowState.h"

class QObject;
class QTimer;

namespace chengfan::ui {

// MainWindow's six timers 时钟1 to 时钟6 as Qt timers, children of the window.
// They are precise timers: a coarse one may fire 5 % late, and a 10-second step
// would drift by half a second.
class QtTimerDriver final : public engine::TimerDriver {
public:
    QtTimerDriver(QObject& owner, std::function<void(engine::TimerId)> onTick);

    void startTimer(engine::TimerId id, std::int32_t periodMs) override;
    void stopTimer(engine::TimerId id) override;

    QTimer& timer(engine::TimerId id) const;

private:
    std::array<QTimer*, engine::kTimerCount> timers_{};
};

}  // namespace chengfan::ui
