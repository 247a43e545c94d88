// Run steps do not nest: a tick of 时钟1 or 时钟2 that comes while a run step
// waits in one of its message boxes is dropped, and the timer keeps its rhythm.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "EngineRig.h"
#include "common/GbkTexts.h"
#include "engine/TaskLoading.h"

namespace chengfan::engine {
namespace {

using testing::EngineRig;

std::vector<std::int64_t> ticksOf(const EngineRig& rig, TimerId id) {
    std::vector<std::int64_t> times;
    for (const auto& tick : rig.timers.delivered()) {
        if (tick.id == id) times.push_back(tick.atMs);
    }
    return times;
}

TEST(NestingBound, NoInternetBoxLeftOpenStacksNoFurtherBox) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.runStep();

    // The probe fails once at 10000; nobody closes the box until 35000.
    rig.network.scriptProbes({false});
    rig.messages.setOpenTime(25000);
    rig.timers.advanceTo(40000);

    ASSERT_EQ(rig.messages.shown().size(), 1u);
    EXPECT_EQ(rig.messages.shown()[0].text, common::kMessageNoInternet);
    EXPECT_EQ(rig.messages.maxDepth(), 1);
    // 时钟2 ticked at 20000 and 30000 inside the box without running a step...
    EXPECT_EQ(ticksOf(rig, TimerId::timer2), (std::vector<std::int64_t>{10000, 20000, 30000, 40000}));
    EXPECT_EQ(rig.network.probes(), (std::vector<std::int64_t>{0, 10000, 40000}));
    // ...and its first tick after the box ran the same task normally.
    ASSERT_EQ(rig.network.downloads().size(), 2u);
    EXPECT_EQ(rig.network.downloads()[1].url, EngineRig::urlOf(2));
    EXPECT_EQ(rig.network.downloads()[1].atMs, 40000);
    EXPECT_EQ(rig.state.timerPeriod(TimerId::timer2), 10000);
}

TEST(NestingBound, LoopTicksDuringTheBoxAreDroppedAndTheRunEndsIdle) {
    EngineRig rig;
    rig.writeTasks(1, "0.5");  // a 30000 ms loop
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.runStep();
    rig.network.scriptProbes({false});
    rig.messages.setOpenTime(70000);  // open from 30000 to 100000
    rig.timers.advanceTo(200000);

    EXPECT_EQ(rig.messages.shown().size(), 1u);
    EXPECT_EQ(ticksOf(rig, TimerId::timer1), (std::vector<std::int64_t>{30000, 60000, 90000}));
    EXPECT_EQ(rig.network.probes().size(), 2u);
    EXPECT_EQ(rig.network.downloads().size(), 1u);
    EXPECT_EQ(rig.state.timerPeriod(TimerId::timer1), 0);
}

TEST(NestingBound, UpdateBoxLeftOpenEndsTheProgramOnce) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.runStep();
    rig.setMarker("3.0");
    rig.messages.setOpenTime(25000);
    rig.timers.advanceTo(100000);
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageUpdate});
    EXPECT_EQ(rig.network.fetches().size(), 2u);
    EXPECT_EQ(rig.program.exitCodes(), std::vector<int>{0});
    EXPECT_EQ(rig.browser.opened().size(), 1u);
}

TEST(NestingBound, RefreshTicksStillRunWhileAStepWaits) {
    EngineRig rig;
    rig.writeTasks(3, "");  // no loop time: the step stops with a message
    rig.state.setText(Field::currentTask, "3");
    int probesInsideBox = -1;
    rig.messages.setOnShow([&](const common::Text&) {
        ASSERT_TRUE(rig.store.writeLoopMinutes("5"));
        rig.engine.timerTick(TimerId::timer2);  // dropped
        rig.engine.timerTick(TimerId::timer1);  // dropped
        rig.engine.timerTick(TimerId::timer4);  // runs: back to task 1
        probesInsideBox = static_cast<int>(rig.network.probes().size());
    });
    rig.engine.runStep();
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageNoLoopTime});
    EXPECT_EQ(probesInsideBox, 1);
    EXPECT_EQ(rig.state.text(Field::currentTask), "1");
    EXPECT_EQ(rig.state.text(Field::loopMinutes), "5");

    // Once the step has returned, ticks run steps again.
    rig.messages.setOnShow(nullptr);
    rig.engine.timerTick(TimerId::timer2);
    EXPECT_EQ(rig.network.downloadedUrls(), std::vector<std::string>{EngineRig::urlOf(1)});
}

}  // namespace
}  // namespace chengfan::engine
