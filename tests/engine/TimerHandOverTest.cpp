// What each timer's tick runs, and the period writes a dialog button makes
// before its dialog opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "EngineRig.h"
#include "engine/TaskLoading.h"

namespace chengfan::engine {
namespace {

using testing::EngineRig;

constexpr std::array<TimerId, 5> kRunAndRefreshTimers = {TimerId::timer1, TimerId::timer2, TimerId::timer3,
                                                         TimerId::timer4, TimerId::timer5};

TEST(TimerTick, EachTimerRunsItsOwnHandler) {
    struct Case {
        const char* name;
        TimerId timer;
        std::size_t probes;  // a run step begins with one
        const char* currentTask;
        std::string url;
        const char* loopMinutes;
    };
    const Case cases[] = {
        {"时钟1 runs a step", TimerId::timer1, 1, "1", EngineRig::urlOf(1), "5"},
        {"时钟2 runs a step", TimerId::timer2, 1, "1", EngineRig::urlOf(1), "5"},
        {"时钟3 refreshes from the store", TimerId::timer3, 0, "1", EngineRig::urlOf(3), "5"},
        {"时钟4 refreshes from the store", TimerId::timer4, 0, "1", EngineRig::urlOf(3), "5"},
        {"时钟5 refreshes the loop time", TimerId::timer5, 0, "3", "", "5"},
        {"时钟6 belongs to the window", TimerId::timer6, 0, "3", "", "9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.writeTasks(3, "5");
        rig.state.setText(Field::currentTask, "3");
        rig.state.setText(Field::loopMinutes, "9");
        rig.engine.timerTick(c.timer);
        EXPECT_EQ(rig.network.probes().size(), c.probes);
        EXPECT_EQ(rig.state.text(Field::currentTask), c.currentTask);
        EXPECT_EQ(rig.state.text(Field::url), c.url);
        EXPECT_EQ(rig.state.text(Field::loopMinutes), c.loopMinutes);
    }
}

TEST(HandOverTimers, EachDialogWritesItsRowInTimerOrder) {
    struct Case {
        const char* name;
        DialogKind dialog;
        std::array<std::int32_t, 5> periods;  // 时钟1 to 时钟5 after the hand-over
    };
    const Case cases[] = {
        {"new task", DialogKind::newTask, {0, 0, 0, 1000, 0}},
        {"edit task", DialogKind::editTask, {0, 0, 1000, 0, 0}},
        {"loop time", DialogKind::loopTime, {0, 0, 0, 0, 1000}},
        {"about leaves the run going", DialogKind::about, {300000, 10000, 0, 0, 0}},
    };
    struct Recorder : StateObserver {
        std::vector<TimerId> written;
        void textChanged(Field, const common::Text&) override {}
        void timerPeriodChanged(TimerId id, std::int32_t) override { written.push_back(id); }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        const std::array<std::int32_t, 5> before = {300000, 10000, 1000, 2000, 3000};
        for (std::size_t i = 0; i < kRunAndRefreshTimers.size(); ++i) {
            rig.state.setTimerPeriod(kRunAndRefreshTimers[i], before[i]);
        }
        rig.state.setTimerPeriod(TimerId::timer6, 43200000);
        rig.timers.advanceTo(500);
        const std::int64_t dueTimer1 = rig.timers.nextDue(TimerId::timer1);
        const std::int64_t dueTimer2 = rig.timers.nextDue(TimerId::timer2);

        Recorder recorder;
        rig.state.setObserver(&recorder);
        rig.engine.handOverTimers(c.dialog);
        rig.state.setObserver(nullptr);

        for (std::size_t i = 0; i < kRunAndRefreshTimers.size(); ++i) {
            EXPECT_EQ(rig.state.timerPeriod(kRunAndRefreshTimers[i]), c.periods[i]) << "时钟" << i + 1;
        }
        EXPECT_EQ(rig.state.timerPeriod(TimerId::timer6), 43200000);
        EXPECT_TRUE(std::is_sorted(recorder.written.begin(), recorder.written.end()));
        if (c.dialog == DialogKind::about) {
            EXPECT_EQ(rig.timers.nextDue(TimerId::timer1), dueTimer1);
            EXPECT_EQ(rig.timers.nextDue(TimerId::timer2), dueTimer2);
        }
    }
}

TEST(HandOverTimers, OpeningTheEditWindowAgainKeepsTheRefreshRhythm) {
    EngineRig rig;
    rig.engine.handOverTimers(DialogKind::editTask);
    rig.timers.advanceTo(2500);
    rig.engine.handOverTimers(DialogKind::editTask);
    EXPECT_EQ(rig.timers.nextDue(TimerId::timer3), 3000);
    rig.timers.advanceTo(4000);
    std::vector<std::int64_t> ticks;
    for (const auto& tick : rig.timers.delivered()) ticks.push_back(tick.atMs);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{1000, 2000, 3000, 4000}));
}

TEST(HandOverTimers, NewTaskWindowStopsThePassAndTheWindowFollowsTheFile) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.runStep();
    rig.timers.advanceTo(15000);  // task 2 ran at 10000; task 3 is current
    rig.engine.handOverTimers(DialogKind::newTask);

    // The dialog adds task 4; the window shows it within a second.
    rig.writeTask("4", EngineRig::urlOf(4), EngineRig::savePathOf(4));
    rig.store.writeTaskCount("4");
    rig.timers.advanceTo(16000);
    EXPECT_EQ(rig.state.text(Field::currentTask), "1");
    EXPECT_EQ(rig.state.text(Field::remainingTasks), "3");
    EXPECT_EQ(rig.state.text(Field::url), EngineRig::urlOf(3));  // read under the old number
    rig.timers.advanceTo(17000);
    EXPECT_EQ(rig.state.text(Field::url), EngineRig::urlOf(1));

    // Closing the dialog changes nothing; the pass stays stopped.
    rig.timers.advanceTo(100000);
    EXPECT_EQ(rig.network.downloads().size(), 2u);

    // The dialog clears the list: within a second the window shows it empty.
    ASSERT_TRUE(rig.store.clearAll());
    rig.timers.advanceTo(101000);
    EXPECT_EQ(rig.state.text(Field::currentTask), "0");
    EXPECT_EQ(rig.state.text(Field::remainingTasks), "0");
    EXPECT_EQ(rig.state.text(Field::url), "");
    EXPECT_EQ(rig.state.text(Field::savePath), "");
    EXPECT_EQ(rig.state.text(Field::loopMinutes), "");
}

TEST(HandOverTimers, StartAfterTheEditWindowBeginsAtTaskOneAndEndsTheRefresh) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.runStep();
    rig.timers.advanceTo(15000);
    rig.engine.handOverTimers(DialogKind::editTask);
    rig.timers.advanceTo(20000);
    rig.engine.runStep();
    EXPECT_EQ(rig.network.downloadedUrls(),
              (std::vector<std::string>{EngineRig::urlOf(1), EngineRig::urlOf(2), EngineRig::urlOf(1)}));
    EXPECT_EQ(rig.state.timerPeriod(TimerId::timer3), 0);
}

TEST(HandOverTimers, TheLoopTimeWindowTakesOverFromTheNewTaskWindow) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.handOverTimers(DialogKind::newTask);
    rig.timers.advanceTo(2500);
    rig.engine.handOverTimers(DialogKind::loopTime);
    EXPECT_FALSE(rig.timers.isRunning(TimerId::timer4));
    EXPECT_EQ(rig.timers.nextDue(TimerId::timer5), 3500);
    ASSERT_TRUE(rig.store.writeLoopMinutes("0.5"));
    rig.timers.advanceTo(3500);
    EXPECT_EQ(rig.state.text(Field::loopMinutes), "0.5");
}

}  // namespace
}  // namespace chengfan::engine
