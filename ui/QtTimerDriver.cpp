#include "ui/QtTimerDriver.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace chengfan::ui {

QtTimerDriver::QtTimerDriver(QObject& owner, std::function<void(engine::TimerId)> onTick) {
    for (int i = 0; i < engine::kTimerCount; ++i) {
        auto* timer = new QTimer(&owner);
        timer->setObjectName(QStringLiteral("时钟") + QString::number(i + 1));
        timer->setTimerType(Qt::PreciseTimer);
        const auto id = static_cast<engine::TimerId>(i);
        QObject::connect(timer, &QTimer::timeout, &owner, [onTick, id] { onTick(id); });
        timers_[static_cast<std::size_t>(i)] = timer;
    }
}

void QtTimerDriver::startTimer(engine::TimerId id, std::int32_t periodMs) {
    // A zero interval would make Qt fire on every pass of the event loop.
    if (periodMs <= 0) {
        stopTimer(id);
        return;
    }
    // start() restarts a running timer, so the first tick comes one period from now.
    timer(id).start(periodMs);
}

void QtTimerDriver::stopTimer(engine::TimerId id) { timer(id).stop(); }

QTimer& QtTimerDriver::timer(engine::TimerId id) const {
    return *timers_[static_cast<std::size_t>(id)];
}

}  // namespace chengfan::ui
