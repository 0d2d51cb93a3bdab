#include "app/TimerLoop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/ControlNames.h"

namespace nightjar::app {
namespace {

TEST(TimerLoopTest, TicksEachIntervalAndRestartsAReEnabledTimer) {
    std::int64_t now = 0;
    std::vector<std::int64_t> waits;
    TimerLoop loop([&] { return now; },
                   [&](std::int64_t ms) {
                       waits.push_back(ms);
                       now += ms;
                   });
    Timer memory(control::tmrMemoryInspected, 2000);
    Timer home(control::tmrCheckHomePage, 5000);
    Timer second(control::tmrTimeOut, 1000);
    Timer scheduler(control::tmrScheduler, 10);
    std::vector<std::int64_t> memoryTicks;
    int secondTicks = 0;
    int schedulerTicks = 0;
    memory.onTick([&] { memoryTicks.push_back(now); });
    home.onTick([&] { memory.setEnabled(false); });
    second.onTick([&] {
        if (++secondTicks == 7) {
            memory.setEnabled(true);
        }
    });
    scheduler.onTick([&] {
        if (++schedulerTicks == 100) {
            now += 55;  // a long tick: what fell due meanwhile is not made up
        }
    });
    for (Timer* t : {&memory, &home, &second, &scheduler}) {
        t->setEnabled(true);
        loop.add(*t);
    }
    loop.Run([&] { return now >= 10000; });

    // Off from 5 s (the home-page tick) until 7 s, then a whole interval again.
    EXPECT_EQ(memoryTicks, (std::vector<std::int64_t>{2000, 4000, 9000}));
    EXPECT_EQ(secondTicks, 9);
    EXPECT_EQ(schedulerTicks, 999 - 5);
    for (std::int64_t w : waits) {
        EXPECT_GE(w, 1);
        EXPECT_LE(w, TimerLoop::kMaxWaitMs);
    }

    // Nothing enabled: nothing is due.
    for (Timer* t : {&memory, &home, &second, &scheduler}) {
        t->setEnabled(false);
    }
    EXPECT_FALSE(loop.RunDue().has_value());
}

}  // namespace
}  // namespace nightjar::app
