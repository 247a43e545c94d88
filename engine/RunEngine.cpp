#include "engine/RunEngine.h"

#include <cmath>
#include <limits>
#include <string>

#include "common/Conversions.h"
#include "common/GbkTexts.h"
#include "engine/BuildSettings.h"
#include "engine/TaskLoading.h"

namespace chengfan::engine {

namespace {

constexpr std::int32_t kNextTaskMs = 10000;
constexpr std::int32_t kRefreshMs = 1000;
// Two version numbers closer than this name the same version.
constexpr common::Number kVersionTolerance = 1e-7;

// Minutes as typed, to a timer period: truncated toward zero, then narrowed to
// 32 bits. A period that comes out negative stops the timer. A period too long
// for a timer stops it too: narrowing alone would wrap 71583 minutes (seven
// weeks) round to a pass every 12.7 seconds.
std::int32_t loopPeriodMs(const common::Text& loopMinutes) {
    const common::Number product = common::textToNumber(loopMinutes) * 60000.0;
    const std::int64_t period = common::truncateToInteger(product);
    if (period > std::numeric_limits<std::int32_t>::max()) return 0;
    return common::toPeriod32(period);
}

// Counts the run steps on the stack for as long as one runs.
class StepScope {
public:
    explicit StepScope(int& depth) : depth_(depth) { ++depth_; }
    ~StepScope() { --depth_; }
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;

private:
    int& depth_;
};

}  // namespace

RunEngine::RunEngine(MainWindowState& state, const store::TaskStore& store,
                     common::KeptTexts& kept, Services services)
    : state_(state), store_(store), kept_(kept), services_(services) {}

void RunEngine::runStep() {
    const StepScope scope(stepDepth_);

    // A run step ends any dialog's refresh.
    state_.setTimerPeriod(TimerId::timer3, 0);
    state_.setTimerPeriod(TimerId::timer4, 0);
    state_.setTimerPeriod(TimerId::timer5, 0);

    if (!checkConnectivity()) {
        // 时钟2 keeps running, so a pass waiting for its next task tries the same
        // task again at its next tick.
        state_.setTimerPeriod(TimerId::timer1, 0);
        return;
    }
    if (checkForcedUpdate()) return;  // the program has ended: touch nothing more

    loadCurrentTask(state_, store_, kept_);

    const char* missing = nullptr;
    if (common::isEmptyText(state_.text(Field::url))) {
        missing = common::kMessageNoUrl;
    } else if (common::isEmptyText(state_.text(Field::savePath))) {
        missing = common::kMessageNoSavePath;
    } else if (common::isEmptyText(state_.text(Field::loopMinutes))) {
        missing = common::kMessageNoLoopTime;
    }
    if (missing != nullptr) {
        services_.messages.showMessage(missing);
        state_.setTimerPeriod(TimerId::timer1, 0);
        state_.setTimerPeriod(TimerId::timer2, 0);
        return;
    }

    // Announced before the download blocks, so the window shows it meanwhile.
    state_.setText(Field::statusText, common::kStatusRunning);
    const common::Text url = state_.text(Field::url);
    const common::Text savePath = state_.text(Field::savePath);
    services_.network.fetchAndSave(url, savePath);

    // The next task exists when its number has a URL; the count is not asked.
    const common::Text nextTask = common::stepNumberText(state_.text(Field::currentTask), 1);
    kept_.taskUrlText = store_.readUrl(nextTask);
    if (!common::isEmptyText(kept_.taskUrlText)) {
        state_.setText(Field::currentTask, nextTask);
        loadCurrentTask(state_, store_, kept_);
        state_.setText(Field::remainingTasks,
                       common::stepNumberText(state_.text(Field::remainingTasks), -1));
        // Rewriting 10000 on a running 时钟2 keeps its phase: the next task comes
        // 10 s after the previous tick, not 10 s after this step's download.
        state_.setTimerPeriod(TimerId::timer2, kNextTaskMs);
        return;
    }

    // The pass is complete.
    state_.setText(Field::currentTask, "1");
    loadCurrentTask(state_, store_, kept_);
    kept_.taskCountText = store_.readTaskCount();
    if (!common::isEmptyText(kept_.taskCountText)) {
        state_.setText(Field::remainingTasks, common::stepNumberText(kept_.taskCountText, -1));
    }
    state_.setText(Field::statusText, common::kStatusPassEnded);
    state_.setText(Field::lastRunText, common::dateTimeToText(services_.clock.now()));
    // The same period again does not restart 时钟1, so passes begin a loop period
    // apart, counted from the start of one pass to the start of the next.
    state_.setTimerPeriod(TimerId::timer1, loopPeriodMs(state_.text(Field::loopMinutes)));
    state_.setTimerPeriod(TimerId::timer2, 0);
}

void RunEngine::stopRun() {
    // The timers stop before the box opens, so no tick runs a step behind it.
    state_.setTimerPeriod(TimerId::timer1, 0);
    state_.setTimerPeriod(TimerId::timer2, 0);
    state_.setTimerPeriod(TimerId::timer3, 0);
    state_.setTimerPeriod(TimerId::timer4, 0);
    state_.setTimerPeriod(TimerId::timer5, 0);
    services_.messages.showMessage(common::kMessageStopped);
}

bool RunEngine::checkConnectivity() {
    if (services_.network.checkConnection()) return true;
    services_.messages.showMessage(common::kMessageNoInternet);
    return false;
}

bool RunEngine::checkForcedUpdate() {
    const common::Bytes marker =
        services_.network.fetchUrl(std::string(kPublisherHost) + kUpdateMarkerPath);
    kept_.updateMarkerText = common::bytesToText(marker);

    const common::Number local = common::textToNumber(state_.text(Field::version));
    const common::Number marked = common::textToNumber(kept_.updateMarkerText);
    // Written so that a difference that is not a number (two infinities) counts as
    // "different": only a marker that really names this version ends the program.
    if (!(std::fabs(local - marked) <= kVersionTolerance)) return false;

    services_.messages.showMessage(common::kMessageUpdate);
    services_.browser.openInBrowser(std::string(kPublisherHost) + kUpdatePagePath);
    services_.program.endProgram(0);
    return true;
}

void RunEngine::timerTick(TimerId id) {
    switch (id) {
        case TimerId::timer1:
        case TimerId::timer2:
            // A run step is only ever interrupted inside one of its message boxes
            // (no events are taken during a download). A further step there would
            // stack one more box every 10 s while the internet stays down and
            // nobody closes the box; the tick is dropped instead. The timer keeps
            // its rhythm, and its first tick after the box has closed runs a step.
            if (stepDepth_ > 0) return;
            runStep();
            return;
        case TimerId::timer3:
        case TimerId::timer4:
            refreshFromStore(state_, store_, kept_);
            return;
        case TimerId::timer5:
            refreshLoopMinutes(state_, store_, kept_);
            return;
        case TimerId::timer6:
            return;  // the window reloads its notice page
    }
}

void RunEngine::handOverTimers(DialogKind dialog) {
    switch (dialog) {
        case DialogKind::newTask:
            state_.setTimerPeriod(TimerId::timer1, 0);
            state_.setTimerPeriod(TimerId::timer2, 0);
            state_.setTimerPeriod(TimerId::timer3, 0);
            state_.setTimerPeriod(TimerId::timer4, kRefreshMs);
            state_.setTimerPeriod(TimerId::timer5, 0);
            return;
        case DialogKind::editTask:
            state_.setTimerPeriod(TimerId::timer1, 0);
            state_.setTimerPeriod(TimerId::timer2, 0);
            state_.setTimerPeriod(TimerId::timer3, kRefreshMs);
            state_.setTimerPeriod(TimerId::timer4, 0);
            state_.setTimerPeriod(TimerId::timer5, 0);
            return;
        case DialogKind::loopTime:
            state_.setTimerPeriod(TimerId::timer1, 0);
            state_.setTimerPeriod(TimerId::timer2, 0);
            state_.setTimerPeriod(TimerId::timer3, 0);
            state_.setTimerPeriod(TimerId::timer4, 0);
            state_.setTimerPeriod(TimerId::timer5, kRefreshMs);
            return;
        case DialogKind::about:
            // A pass goes on behind the about window; only the refreshes stop.
            state_.setTimerPeriod(TimerId::timer3, 0);
            state_.setTimerPeriod(TimerId::timer4, 0);
            state_.setTimerPeriod(TimerId::timer5, 0);
            return;
    }
}

}  // namespace chengfan::engine
