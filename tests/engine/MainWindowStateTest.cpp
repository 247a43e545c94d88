// The timer-period rules of MainWindowState, run on the virtual-time scheduler,
// and the scheduler's own delivery rules that the run-cycle tests rely on.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "VirtualTimers.h"
#include "common/GbkTexts.h"
#include "engine/MainWindowState.h"

namespace chengfan::engine {
namespace {

using testing::VirtualTimers;

std::vector<std::int64_t> tickTimes(const VirtualTimers& timers, TimerId id) {
    std::vector<std::int64_t> times;
    for (const auto& tick : timers.delivered()) {
        if (tick.id == id) times.push_back(tick.atMs);
    }
    return times;
}

TEST(SetTimerPeriod, RewriteAtFourSecondsOfARunningTenSecondTimer) {
    struct Case {
        const char* name;
        std::int32_t rewrite;
        std::int32_t periodAfter;
        std::vector<std::int64_t> ticks;  // within the first 25 s
    };
    const Case cases[] = {
        {"same period keeps the phase", 10000, 10000, {10000, 20000}},
        {"another period restarts from the write", 7000, 7000, {11000, 18000, 25000}},
        {"a shorter period restarts too", 2500, 2500, {6500, 9000, 11500, 14000, 16500, 19000, 21500, 24000}},
        {"a negative period stops and reads 0", -5, 0, {}},
        {"zero stops", 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualTimers timers;
        MainWindowState state(timers);
        state.setTimerPeriod(TimerId::timer2, 10000);
        timers.advance(4000);
        state.setTimerPeriod(TimerId::timer2, c.rewrite);
        timers.advance(21000);
        EXPECT_EQ(state.timerPeriod(TimerId::timer2), c.periodAfter);
        EXPECT_EQ(timers.isRunning(TimerId::timer2), c.periodAfter > 0);
        EXPECT_EQ(tickTimes(timers, TimerId::timer2), c.ticks);
    }
}

TEST(SetTimerPeriod, NegativePeriodOnAStoppedTimerStartsNothing) {
    VirtualTimers timers;
    MainWindowState state(timers);
    state.setTimerPeriod(TimerId::timer1, -60000);
    timers.advance(600000);
    EXPECT_EQ(state.timerPeriod(TimerId::timer1), 0);
    EXPECT_TRUE(timers.delivered().empty());
}

TEST(SetTimerPeriod, SamePeriodWrittenFromItsOwnTickKeepsTheRhythm) {
    // The run step rewrites 10000 on 时钟2 from inside its tick, after a download.
    VirtualTimers timers;
    MainWindowState state(timers);
    timers.setTickHandler([&](TimerId) {
        timers.passBusy(3000);
        state.setTimerPeriod(TimerId::timer2, 10000);
    });
    state.setTimerPeriod(TimerId::timer2, 10000);
    timers.advance(40000);
    EXPECT_EQ(tickTimes(timers, TimerId::timer2), (std::vector<std::int64_t>{10000, 20000, 30000, 40000}));
}

TEST(SetTimerPeriod, ChangesAreAnnouncedOnceAndTextWritesAlways) {
    struct Recorder : StateObserver {
        std::vector<std::pair<Field, common::Text>> texts;
        std::vector<std::pair<TimerId, std::int32_t>> periods;
        void textChanged(Field field, const common::Text& value) override { texts.emplace_back(field, value); }
        void timerPeriodChanged(TimerId id, std::int32_t periodMs) override { periods.emplace_back(id, periodMs); }
    };
    VirtualTimers timers;
    MainWindowState state(timers);
    Recorder recorder;
    state.setObserver(&recorder);

    state.setTimerPeriod(TimerId::timer1, 300000);
    state.setTimerPeriod(TimerId::timer1, 300000);
    state.setTimerPeriod(TimerId::timer1, -1);
    state.setTimerPeriod(TimerId::timer1, 0);
    state.setText(Field::statusText, common::kStatusRunning);
    state.setText(Field::statusText, common::kStatusRunning);

    EXPECT_EQ(recorder.periods, (std::vector<std::pair<TimerId, std::int32_t>>{
                                    {TimerId::timer1, 300000}, {TimerId::timer1, 0}}));
    ASSERT_EQ(recorder.texts.size(), 2u);
    EXPECT_EQ(recorder.texts[1], std::make_pair(Field::statusText, common::Text(common::kStatusRunning)));

    state.setObserver(nullptr);
    state.setText(Field::url, "http://127.0.0.1/");
    EXPECT_EQ(recorder.texts.size(), 2u);
}

TEST(VirtualTimers, LateTicksDoNotPileUpAndKeepTheRhythm) {
    VirtualTimers timers;
    MainWindowState state(timers);
    bool first = true;
    timers.setTickHandler([&](TimerId) {
        if (first) timers.passBusy(35000);  // busy past three more due points
        first = false;
    });
    state.setTimerPeriod(TimerId::timer2, 10000);
    timers.advance(60000);
    EXPECT_EQ(tickTimes(timers, TimerId::timer2), (std::vector<std::int64_t>{10000, 45000, 50000, 60000}));
}

TEST(VirtualTimers, DueTicksRunInOrderAndPendingOnesBeforeTimeMoves) {
    VirtualTimers timers;
    MainWindowState state(timers);
    std::vector<std::pair<TimerId, std::int64_t>> seen;
    timers.setTickHandler([&](TimerId id) {
        seen.emplace_back(id, timers.now());
        if (id == TimerId::timer1 && timers.now() == 3000) timers.passBusy(2500);
    });
    state.setTimerPeriod(TimerId::timer1, 3000);
    state.setTimerPeriod(TimerId::timer3, 1000);
    timers.advance(6000);
    // 时钟3's ticks due at 3000 (behind 时钟1's, same time), 4000 and 5000 fold
    // into one, delivered when 时钟1's handler ends at 5500; the rhythm goes on
    // at 6000.
    const std::vector<std::pair<TimerId, std::int64_t>> expected = {
        {TimerId::timer3, 1000}, {TimerId::timer3, 2000}, {TimerId::timer1, 3000},
        {TimerId::timer3, 5500}, {TimerId::timer1, 6000}, {TimerId::timer3, 6000}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(timers.now(), 6000);
}

TEST(VirtualTimers, HaltedSchedulerDeliversNothing) {
    VirtualTimers timers;
    MainWindowState state(timers);
    state.setTimerPeriod(TimerId::timer2, 10000);
    timers.halt();
    timers.advance(100000);
    EXPECT_TRUE(timers.delivered().empty());
    EXPECT_EQ(timers.now(), 100000);
}

}  // namespace
}  // namespace chengfan::engine
