// A window's timers through the base library's timer service.
#include "kwnd_fixture.h"

#include <chrono>
#include <thread>

namespace {

using KTimerWnd = WndTest;

TEST_F(KTimerWnd, SetKTimerPostsToTheWindowUntilKilled)
{
    desktop::UseManualClock(1000);
    KestrelWnd wnd;
    ASSERT_EQ(wnd.Create(KestrelWnd::m_ClassName, "t", WS_POPUP, 0, 0, 20, 20, (HWND)NULL, 0), 0);
    KThreadSystem system;
    _kwndTimer* timer = wnd.SetKTimer(&system, 9, 50);
    ASSERT_NE(timer, nullptr);
    desktop::AdvanceClock(50);
    MSG m = {};
    bool arrived = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!arrived && std::chrono::steady_clock::now() < until) {
        arrived = PeekMessageA(&m, wnd.GetHandle(), WM_TIMER, WM_TIMER, PM_REMOVE) != FALSE;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(arrived);
    EXPECT_EQ(m.hwnd, wnd.GetHandle());
    EXPECT_EQ(m.wParam, WPARAM(9));
    wnd.KillKTimer(timer);
    EXPECT_EQ(timer, nullptr);
}

}  // namespace
