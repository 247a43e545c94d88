// The run cycle in virtual time: which task is downloaded when, what the window
// shows, and how the two run timers are left.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "EngineRig.h"
#include "common/Conversions.h"
#include "common/GbkTexts.h"
#include "engine/TaskLoading.h"

namespace chengfan::engine {
namespace {

using testing::EngineRig;
using Timed = std::pair<std::string, std::int64_t>;

std::vector<Timed> downloadsOf(const EngineRig& rig) {
    std::vector<Timed> log;
    for (const auto& download : rig.network.downloads()) log.emplace_back(download.url, download.atMs);
    return log;
}

Timed task(int number, std::int64_t atMs) { return {EngineRig::urlOf(number), atMs}; }

class RunCycle : public ::testing::Test {
protected:
    // Config.ini written, then the window's start-up load.
    void startUp(int tasks, const std::string& loopMinutes) {
        rig.writeTasks(tasks, loopMinutes);
        loadInitialTask(rig.state, rig.store, rig.kept);
    }
    const common::Text& shown(Field field) const { return rig.state.text(field); }
    std::int32_t period(TimerId id) const { return rig.state.timerPeriod(id); }

    EngineRig rig;
};

TEST_F(RunCycle, ThreeTasksWithLoopTimeFive) {
    startUp(3, "5");
    rig.network.setDownloadTime(1500);
    std::vector<std::string> statusAtDownload;
    rig.network.setOnDownload([&](const auto&) { statusAtDownload.push_back(shown(Field::statusText)); });

    rig.engine.runStep();  // Start at 0
    EXPECT_EQ(downloadsOf(rig), (std::vector<Timed>{task(1, 0)}));
    EXPECT_EQ(shown(Field::currentTask), "2");
    EXPECT_EQ(shown(Field::remainingTasks), "1");
    EXPECT_EQ(shown(Field::url), EngineRig::urlOf(2));
    EXPECT_EQ(period(TimerId::timer2), 10000);
    EXPECT_EQ(period(TimerId::timer1), 0);

    // Task 2 ten seconds after the first step ended.
    rig.timers.advanceTo(11499);
    EXPECT_EQ(rig.network.downloads().size(), 1u);
    rig.timers.advanceTo(11500);
    EXPECT_EQ(downloadsOf(rig).back(), task(2, 11500));
    EXPECT_EQ(shown(Field::currentTask), "3");
    EXPECT_EQ(shown(Field::remainingTasks), "0");
    EXPECT_EQ(shown(Field::statusText), common::kStatusRunning);

    // Task 3 ten seconds after task 2's tick, not after its download; then the wrap.
    rig.timers.advanceTo(23000);
    EXPECT_EQ(downloadsOf(rig).back(), task(3, 21500));
    EXPECT_EQ(shown(Field::currentTask), "1");
    EXPECT_EQ(shown(Field::remainingTasks), "2");
    EXPECT_EQ(shown(Field::url), EngineRig::urlOf(1));
    EXPECT_EQ(shown(Field::savePath), EngineRig::savePathOf(1));
    EXPECT_EQ(shown(Field::statusText), common::kStatusPassEnded);
    EXPECT_EQ(shown(Field::lastRunText), common::dateTimeToText(rig.clock.at(23000)));
    EXPECT_EQ(period(TimerId::timer1), 300000);
    EXPECT_EQ(period(TimerId::timer2), 0);

    // The second pass 300000 ms after the first ended; later passes 300000 ms
    // after the previous one began.
    rig.timers.advanceTo(1000000);
    const std::vector<Timed> expected = {
        task(1, 0),      task(2, 11500),  task(3, 21500),   // pass 1, ends at 23000
        task(1, 323000), task(2, 334500), task(3, 344500),  // began at 323000
        task(1, 623000), task(2, 634500), task(3, 644500),  // 300000 after 323000
        task(1, 923000), task(2, 934500), task(3, 944500)};
    EXPECT_EQ(downloadsOf(rig), expected);
    EXPECT_EQ(shown(Field::lastRunText), common::dateTimeToText(rig.clock.at(946000)));
    EXPECT_EQ(statusAtDownload, std::vector<std::string>(expected.size(), common::kStatusRunning));
    // Every step checked the connection and the marker once, and said nothing.
    EXPECT_EQ(rig.network.probes().size(), expected.size());
    EXPECT_EQ(rig.network.fetches().size(), expected.size());
    EXPECT_TRUE(rig.messages.shown().empty());
}

TEST_F(RunCycle, AStepLongerThanTenSecondsIsFollowedAtOnce) {
    startUp(3, "5");
    rig.network.setDownloadTime(12000);
    rig.engine.runStep();
    rig.timers.advanceTo(46000);
    // 时钟2 starts when task 1 ends at 12000; its tick due at 32000 waits for
    // task 2's download to end at 34000 and then runs task 3 at once.
    EXPECT_EQ(downloadsOf(rig), (std::vector<Timed>{task(1, 0), task(2, 22000), task(3, 34000)}));
    EXPECT_EQ(shown(Field::statusText), common::kStatusPassEnded);
    EXPECT_EQ(rig.timers.nextDue(TimerId::timer1), 346000);
}

TEST_F(RunCycle, ASingleTaskRunsOncePerLoopPeriod) {
    startUp(1, "1");
    rig.engine.runStep();
    EXPECT_EQ(shown(Field::statusText), common::kStatusPassEnded);
    EXPECT_EQ(shown(Field::remainingTasks), "0");
    rig.timers.advanceTo(180000);
    EXPECT_EQ(downloadsOf(rig), (std::vector<Timed>{task(1, 0), task(1, 60000), task(1, 120000), task(1, 180000)}));
    for (const auto& tick : rig.timers.delivered()) EXPECT_EQ(tick.id, TimerId::timer1);
}

TEST_F(RunCycle, LoopTimeBecomesTheLoopPeriod) {
    struct Case {
        const char* loopMinutes;
        std::int32_t period;  // 0: the run ends after the first pass
    };
    const Case cases[] = {
        {"5", 300000}, {"0.5", 30000}, {"1.00001", 60000}, {"-1", 0},
        {"0", 0},      {"abc", 0},     {"35792", 0},  // 2147520000 ms does not fit: negative
        {"71583", 0},  // would wrap round to 12704 ms: too long for a timer stops it too
        {"1e20", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loopMinutes);
        EngineRig rig;
        rig.writeTasks(1, c.loopMinutes);
        loadInitialTask(rig.state, rig.store, rig.kept);
        rig.engine.runStep();
        EXPECT_EQ(rig.state.timerPeriod(TimerId::timer1), c.period);
        EXPECT_EQ(rig.state.text(Field::statusText), common::kStatusPassEnded);
        rig.timers.advanceTo(3600000);
        const std::size_t passes = c.period > 0 ? 1 + 3600000 / c.period : 1;
        EXPECT_EQ(rig.network.downloads().size(), passes);
        if (c.period > 0) {
            EXPECT_EQ(rig.network.downloads()[1].atMs, c.period);
        }
    }
}

TEST_F(RunCycle, AnEmptyFieldStopsTheRunWithItsMessageOnly) {
    struct Case {
        const char* name;
        std::function<void(EngineRig&)> config;
        const char* message;
    };
    const Case cases[] = {
        {"no tasks at all", [](EngineRig&) {}, common::kMessageNoUrl},
        {"only a loop time", [](EngineRig& rig) { rig.store.writeLoopMinutes("5"); }, common::kMessageNoUrl},
        {"no URL and no save path",
         [](EngineRig& rig) {
             rig.store.writeTaskCount("1");
             rig.store.writeLoopMinutes("5");
         },
         common::kMessageNoUrl},
        {"no save path",
         [](EngineRig& rig) {
             rig.writeTask("1", EngineRig::urlOf(1), "");
             rig.store.writeTaskCount("1");
             rig.store.writeLoopMinutes("5");
         },
         common::kMessageNoSavePath},
        {"loop time never set", [](EngineRig& rig) { rig.writeTasks(2, ""); }, common::kMessageNoLoopTime},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        c.config(rig);
        loadInitialTask(rig.state, rig.store, rig.kept);
        // A run in progress is stopped too.
        rig.state.setTimerPeriod(TimerId::timer1, 300000);
        rig.state.setTimerPeriod(TimerId::timer2, 10000);
        rig.engine.runStep();
        EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(rig.state.timerPeriod(TimerId::timer1), 0);
        EXPECT_EQ(rig.state.timerPeriod(TimerId::timer2), 0);
        EXPECT_EQ(rig.state.text(Field::statusText), common::kStatusNotStarted);
        rig.timers.advanceTo(600000);
        EXPECT_TRUE(rig.network.downloads().empty());
    }
}

TEST_F(RunCycle, TheNextTaskIsDecidedByItsUrlAlone) {
    struct Case {
        const char* name;
        std::vector<int> tasks;
        const char* count;
        std::vector<int> pass;                   // tasks downloaded in one pass
        std::vector<std::string> remainingAfter;  // after each step of the pass
    };
    const Case cases[] = {
        {"tasks 1, 2 and 4", {1, 2, 4}, "4", {1, 2}, {"2", "3"}},
        {"count lower than the tasks", {1, 2, 3}, "2", {1, 2, 3}, {"0", "-1", "1"}},
        {"count higher than the tasks", {1, 2}, "5", {1, 2}, {"3", "4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        for (int number : c.tasks) {
            rig.writeTask(std::to_string(number), EngineRig::urlOf(number), EngineRig::savePathOf(number));
        }
        rig.store.writeTaskCount(c.count);
        rig.store.writeLoopMinutes("5");
        loadInitialTask(rig.state, rig.store, rig.kept);

        std::vector<std::string> remaining;
        rig.engine.runStep();
        remaining.push_back(rig.state.text(Field::remainingTasks));
        for (int step = 0; step < 10 && rig.state.timerPeriod(TimerId::timer2) != 0; ++step) {
            rig.timers.advance(10000);
            remaining.push_back(rig.state.text(Field::remainingTasks));
        }
        std::vector<std::string> expectedUrls;
        for (int number : c.pass) expectedUrls.push_back(EngineRig::urlOf(number));
        EXPECT_EQ(rig.network.downloadedUrls(), expectedUrls);
        EXPECT_EQ(remaining, c.remainingAfter);
        EXPECT_EQ(rig.state.text(Field::currentTask), "1");
        EXPECT_EQ(rig.state.timerPeriod(TimerId::timer1), 300000);
    }
}

TEST_F(RunCycle, ATaskWithoutSavePathIsSavedWhereThePreviousOneWas) {
    rig.writeTask("1", EngineRig::urlOf(1), EngineRig::savePathOf(1));
    rig.writeTask("2", EngineRig::urlOf(2), "");
    rig.store.writeTaskCount("2");
    rig.store.writeLoopMinutes("5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.runStep();
    rig.timers.advance(10000);
    ASSERT_EQ(rig.network.downloads().size(), 2u);
    EXPECT_EQ(rig.network.downloads()[1].url, EngineRig::urlOf(2));
    EXPECT_EQ(rig.network.downloads()[1].savePath, EngineRig::savePathOf(1));
}

TEST_F(RunCycle, TheStatusIsAnnouncedBeforeTheDownloadBlocks) {
    startUp(2, "5");
    struct Recorder : StateObserver {
        std::vector<std::string> statuses;
        void textChanged(Field field, const common::Text& value) override {
            if (field == Field::statusText) statuses.push_back(value);
        }
    } recorder;
    rig.state.setObserver(&recorder);
    std::vector<std::string> announcedAtDownload;
    rig.network.setOnDownload([&](const auto&) { announcedAtDownload = recorder.statuses; });
    rig.engine.runStep();
    EXPECT_EQ(announcedAtDownload, std::vector<std::string>{common::kStatusRunning});
    rig.state.setObserver(nullptr);
}

TEST_F(RunCycle, NoConnectionAtANextTaskTickTriesTheSameTaskTenSecondsLater) {
    startUp(3, "5");
    rig.engine.runStep();
    rig.network.setConnected(false);
    rig.timers.advanceTo(10000);
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageNoInternet});
    EXPECT_EQ(rig.network.fetches().size(), 1u);  // no marker request without a connection
    EXPECT_EQ(period(TimerId::timer1), 0);
    EXPECT_EQ(period(TimerId::timer2), 10000);
    EXPECT_EQ(shown(Field::currentTask), "2");

    rig.network.setConnected(true);
    rig.timers.advanceTo(20000);
    EXPECT_EQ(downloadsOf(rig), (std::vector<Timed>{task(1, 0), task(2, 20000)}));
}

TEST_F(RunCycle, NoConnectionAtStartOrALoopTickLeavesTheRunIdle) {
    startUp(1, "1");
    rig.engine.runStep();  // wraps: waiting for the next pass
    rig.network.setConnected(false);
    rig.timers.advanceTo(60000);
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageNoInternet});
    EXPECT_EQ(period(TimerId::timer1), 0);
    EXPECT_EQ(period(TimerId::timer2), 0);
    rig.network.setConnected(true);
    rig.timers.advanceTo(600000);
    EXPECT_EQ(rig.network.downloads().size(), 1u);
}

TEST_F(RunCycle, StopThenStartGoesOnFromTheCurrentTask) {
    startUp(3, "5");
    rig.engine.runStep();
    rig.timers.advanceTo(12000);  // task 2 ran at 10000
    rig.engine.stopRun();
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageStopped});
    for (TimerId id : {TimerId::timer1, TimerId::timer2, TimerId::timer3, TimerId::timer4, TimerId::timer5}) {
        EXPECT_EQ(period(id), 0);
    }
    EXPECT_EQ(period(TimerId::timer6), 43200000);
    EXPECT_EQ(shown(Field::currentTask), "3");
    EXPECT_EQ(shown(Field::statusText), common::kStatusRunning);

    rig.timers.advanceTo(100000);
    EXPECT_EQ(rig.network.downloads().size(), 2u);
    rig.engine.runStep();
    EXPECT_EQ(downloadsOf(rig), (std::vector<Timed>{task(1, 0), task(2, 10000), task(3, 100000)}));
    EXPECT_EQ(shown(Field::statusText), common::kStatusPassEnded);
}

TEST_F(RunCycle, StopWithAMessageOpenForAWhileRunsNothingBehindIt) {
    startUp(3, "5");
    rig.engine.runStep();
    rig.messages.setOpenTime(60000);
    rig.timers.advanceTo(5000);
    rig.engine.stopRun();  // the box stays open until 65000
    EXPECT_EQ(rig.timers.now(), 65000);
    EXPECT_EQ(rig.network.downloads().size(), 1u);
}

TEST_F(RunCycle, StartWhileWaitingForTheNextTaskKeepsThePhase) {
    startUp(3, "5");
    rig.engine.runStep();
    rig.timers.advanceTo(4000);
    rig.engine.runStep();  // Start again: task 2 at once
    rig.timers.advanceTo(30000);
    EXPECT_EQ(downloadsOf(rig), (std::vector<Timed>{task(1, 0), task(2, 4000), task(3, 10000)}));
}

TEST_F(RunCycle, APassLongerThanTheLoopPeriodGetsAnExtraStep) {
    startUp(5, "0.5");  // 30000 ms
    rig.network.setDownloadTime(1000);
    rig.engine.runStep();
    rig.timers.advanceTo(132000);
    // Pass 1 ends at 42000, so 时钟1 ticks at 72000, 102000 and 132000. At 102000
    // it runs task 4 ahead of 时钟2, whose tick at 103000 then runs task 5.
    const std::vector<Timed> expected = {
        task(1, 0),     task(2, 11000), task(3, 21000), task(4, 31000),  task(5, 41000),
        task(1, 72000), task(2, 83000), task(3, 93000), task(4, 102000), task(5, 103000),
        task(1, 132000)};
    EXPECT_EQ(downloadsOf(rig), expected);
}

}  // namespace
}  // namespace chengfan::engine
