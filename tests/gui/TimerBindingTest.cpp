#include "gui/TimerBinding.h"

#include <gtest/gtest.h>

#include "app/Timer.h"
#include "gui/GuiTestSupport.h"
#include "gui/MessageLoop.h"

namespace nightjar::gui {
namespace {

using test::PumpUntil;

TEST(TimerBindingTest, EnabledTimersTickUntilDisabledAndTicksNeverOverlap) {
    TimerBinding binding;
    ASSERT_TRUE(binding.create());
    MessageLoop loop;
    loop.afterEachMessage([&binding] { binding.sync(); });

    // `slow` yields to the message loop for a while on each tick, as a scan does; `fast`
    // falls due meanwhile many times over, and must not run inside it.
    app::Timer slow(app::ControlName("tmrSlow"), 10);
    app::Timer fast(app::ControlName("tmrFast"), 10);
    int slowTicks = 0;
    int fastTicks = 0;
    int fastInsideSlow = 0;
    bool inSlow = false;
    slow.onTick([&] {
        ++slowTicks;
        inSlow = true;
        const ULONGLONG end = GetTickCount64() + 150;
        while (GetTickCount64() < end) {
            loop.pumpPending();
            Sleep(5);
        }
        inSlow = false;
        slow.setEnabled(false);
    });
    fast.onTick([&] {
        ++fastTicks;
        fastInsideSlow += inSlow ? 1 : 0;
        if (fastTicks == 3) {
            fast.setEnabled(false);
        }
    });
    binding.add(slow);
    binding.add(fast);
    EXPECT_FALSE(PumpUntil([&] { return slowTicks > 0; }, 300)) << "disabled timers stay quiet";

    slow.setEnabled(true);
    fast.setEnabled(true);
    binding.sync();
    ASSERT_TRUE(PumpUntil([&] { return slowTicks == 1 && fastTicks == 3; }));
    EXPECT_EQ(fastInsideSlow, 0);
    // Both disabled themselves from their handlers: no further ticks.
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(slowTicks, 1);
    EXPECT_EQ(fastTicks, 3);

    // Enabled again, a timer ticks again.
    fast.setEnabled(true);
    binding.sync();
    EXPECT_TRUE(PumpUntil([&] { return fastTicks == 4; }));
}

}  // namespace
}  // namespace nightjar::gui
