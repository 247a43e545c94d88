// The loaders that copy Config.ini into MainWindowState, over a real store in a
// temporary directory.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "EngineRig.h"
#include "common/GbkTexts.h"
#include "engine/TaskLoading.h"

namespace chengfan::engine {
namespace {

using testing::EngineRig;

struct Shown {
    std::string currentTask;
    std::string remainingTasks;
    std::string url;
    std::string savePath;
    std::string loopMinutes;
};

Shown shownBy(const MainWindowState& state) {
    return {state.text(Field::currentTask), state.text(Field::remainingTasks), state.text(Field::url),
            state.text(Field::savePath), state.text(Field::loopMinutes)};
}

void expectShown(const MainWindowState& state, const Shown& expected) {
    const Shown actual = shownBy(state);
    EXPECT_EQ(actual.currentTask, expected.currentTask);
    EXPECT_EQ(actual.remainingTasks, expected.remainingTasks);
    EXPECT_EQ(actual.url, expected.url);
    EXPECT_EQ(actual.savePath, expected.savePath);
    EXPECT_EQ(actual.loopMinutes, expected.loopMinutes);
}

TEST(LoadInitialTask, WhatTheWindowShowsAtStartUp) {
    const std::string url1 = EngineRig::urlOf(1);
    const std::string path1 = EngineRig::savePathOf(1);
    struct Case {
        const char* name;
        std::function<void(EngineRig&)> config;
        Shown expected;
    };
    const Case cases[] = {
        {"no Config.ini", [](EngineRig&) {}, {"0", "0", "", "", ""}},
        {"tasks 1 to 3, count 3, loop time 5", [](EngineRig& rig) { rig.writeTasks(3, "5"); },
         {"1", "2", url1, path1, "5"}},
        {"tasks without a count load nothing",
         [](EngineRig& rig) {
             rig.writeTask("1", EngineRig::urlOf(1), EngineRig::savePathOf(1));
             rig.store.writeLoopMinutes("5");
         },
         {"0", "0", "", "", ""}},
        {"a count whose task 1 has no URL",
         [](EngineRig& rig) {
             rig.writeTask("2", EngineRig::urlOf(2), EngineRig::savePathOf(2));
             rig.store.writeTaskCount("2");
         },
         {"1", "1", "", "", ""}},
        {"a count that is not a number counts as 0",
         [](EngineRig& rig) {
             rig.writeTasks(1, "5");
             rig.store.writeTaskCount("abc");
         },
         {"1", "-1", url1, path1, "5"}},
        {"a count of 0 still loads task 1", [](EngineRig& rig) {
             rig.writeTasks(1, "5");
             rig.store.writeTaskCount("0");
         },
         {"1", "-1", url1, path1, "5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        c.config(rig);
        loadInitialTask(rig.state, rig.store, rig.kept);
        expectShown(rig.state, c.expected);
        EXPECT_EQ(rig.state.text(Field::statusText), common::kStatusNotStarted);
        EXPECT_EQ(rig.state.text(Field::lastRunText), common::kLastRunInitial);
        EXPECT_EQ(rig.state.text(Field::version), "3.0");
        EXPECT_EQ(rig.state.timerPeriod(TimerId::timer6), 43200000);
        for (TimerId id : {TimerId::timer1, TimerId::timer2, TimerId::timer3, TimerId::timer4,
                           TimerId::timer5}) {
            EXPECT_EQ(rig.state.timerPeriod(id), 0);
        }
    }
}

TEST(LoadInitialTask, KeepsWhatItReadInItsSlots) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    EXPECT_EQ(rig.kept.taskCountText, "3");
    EXPECT_EQ(rig.kept.taskUrlText, EngineRig::urlOf(1));
    EXPECT_EQ(rig.kept.taskSavePathText, EngineRig::savePathOf(1));
    EXPECT_EQ(rig.kept.loopMinutesText, "5");
}

TEST(LoadCurrentTask, AValueMissingFromTheFileKeepsItsField) {
    struct Case {
        const char* name;
        std::string url2;
        std::string savePath2;
        bool loopStored;
        Shown expected;  // after loading task 1, then task 2
    };
    const std::string url1 = EngineRig::urlOf(1), url2 = EngineRig::urlOf(2);
    const std::string path1 = EngineRig::savePathOf(1), path2 = EngineRig::savePathOf(2);
    const Case cases[] = {
        {"all present", url2, path2, true, {"2", "0", url2, path2, "5"}},
        {"no save path", url2, "", true, {"2", "0", url2, path1, "5"}},
        {"no URL", "", path2, true, {"2", "0", url1, path2, "5"}},
        {"nothing stored for task 2", "", "", true, {"2", "0", url1, path1, "5"}},
        {"loop time removed", url2, path2, false, {"2", "0", url2, path2, "5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.writeTask("1", url1, path1);
        rig.writeTask("2", c.url2, c.savePath2);
        rig.store.writeLoopMinutes("5");
        rig.state.setText(Field::currentTask, "1");
        loadCurrentTask(rig.state, rig.store, rig.kept);
        if (!c.loopStored) {
            ASSERT_TRUE(rig.store.clearAll());
            rig.writeTask("2", c.url2, c.savePath2);
        }
        rig.state.setText(Field::currentTask, "2");
        loadCurrentTask(rig.state, rig.store, rig.kept);
        expectShown(rig.state, c.expected);
        // The slots hold what was read, empty or not.
        EXPECT_EQ(rig.kept.taskUrlText, c.url2);
        EXPECT_EQ(rig.kept.taskSavePathText, c.savePath2);
        EXPECT_EQ(rig.kept.loopMinutesText, c.loopStored ? "5" : "");
    }
}

TEST(LoadCurrentTask, TheKeyIsTheCurrentTaskTextUnchanged) {
    EngineRig rig;
    rig.writeTask("2", EngineRig::urlOf(2), EngineRig::savePathOf(2));
    rig.writeTask("02", "http://127.0.0.1/zero-two", "/srv/www/zero-two.html");
    rig.state.setText(Field::currentTask, "02");
    loadCurrentTask(rig.state, rig.store, rig.kept);
    EXPECT_EQ(rig.state.text(Field::url), "http://127.0.0.1/zero-two");
    EXPECT_EQ(rig.state.text(Field::savePath), "/srv/www/zero-two.html");
}

TEST(RefreshFromStore, ShowsTheTaskNumberedNowThenGoesBackToTaskOne) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    rig.state.setText(Field::currentTask, "3");
    refreshFromStore(rig.state, rig.store, rig.kept);
    expectShown(rig.state, {"1", "2", EngineRig::urlOf(3), EngineRig::savePathOf(3), "5"});
    EXPECT_EQ(rig.kept.taskCountText, "3");
    refreshFromStore(rig.state, rig.store, rig.kept);
    expectShown(rig.state, {"1", "2", EngineRig::urlOf(1), EngineRig::savePathOf(1), "5"});
}

TEST(RefreshFromStore, EmptiesWhatTheFileNoLongerHolds) {
    struct Case {
        const char* name;
        std::function<void(EngineRig&)> change;
        Shown expected;
    };
    const Case cases[] = {
        {"all tasks cleared", [](EngineRig& rig) { ASSERT_TRUE(rig.store.clearAll()); }, {"0", "0", "", "", ""}},
        {"task 1 without a save path, count kept",
         [](EngineRig& rig) {
             ASSERT_TRUE(rig.store.clearAll());
             rig.writeTask("1", EngineRig::urlOf(1), "");
             rig.store.writeTaskCount("3");
         },
         {"1", "2", EngineRig::urlOf(1), "", ""}},
        {"count 7 written by the new-task window", [](EngineRig& rig) { rig.store.writeTaskCount("7"); },
         {"1", "6", EngineRig::urlOf(1), EngineRig::savePathOf(1), "5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.writeTasks(3, "5");
        loadInitialTask(rig.state, rig.store, rig.kept);
        c.change(rig);
        refreshFromStore(rig.state, rig.store, rig.kept);
        expectShown(rig.state, c.expected);
    }
}

TEST(RefreshLoopMinutes, ShowsTheStoredLoopTimeOrNothing) {
    EngineRig rig;
    rig.writeTasks(2, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.state.setText(Field::currentTask, "2");

    ASSERT_TRUE(rig.store.writeLoopMinutes("0.5"));
    refreshLoopMinutes(rig.state, rig.store, rig.kept);
    EXPECT_EQ(rig.state.text(Field::loopMinutes), "0.5");
    EXPECT_EQ(rig.kept.loopMinutesText, "0.5");

    ASSERT_TRUE(rig.store.clearAll());
    refreshLoopMinutes(rig.state, rig.store, rig.kept);
    EXPECT_EQ(rig.state.text(Field::loopMinutes), "");
    // Nothing but the loop time is touched.
    expectShown(rig.state, {"2", "1", EngineRig::urlOf(1), EngineRig::savePathOf(1), ""});
}

}  // namespace
}  // namespace chengfan::engine
