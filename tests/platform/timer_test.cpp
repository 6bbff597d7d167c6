// Timers: keyed by window and id, at most one WM_TIMER pending each,
// restarted by setting them again, gone when killed.
#include "platform_fixture.h"

namespace {

class TimerTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        desktop::UseManualClock(10000);
        m_a = MakeWindow(WS_POPUP, 0, 0, 10, 10);
        m_b = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    }
    // The WM_TIMER messages waiting now, as (window, id), removed.
    std::vector<std::pair<HWND, WPARAM>> Due()
    {
        std::vector<std::pair<HWND, WPARAM>> out;
        MSG m;
        while (PeekMessageA(&m, NULL, WM_TIMER, WM_TIMER, PM_REMOVE))
            out.push_back({m.hwnd, m.wParam});
        return out;
    }
    HWND m_a = nullptr;
    HWND m_b = nullptr;
};

using Fired = std::vector<std::pair<HWND, WPARAM>>;

TEST_F(TimerTest, KeyedByWindowAndIdWithOnePendingEach)
{
    ASSERT_EQ(SetTimer(m_a, 1, 100, NULL), 1u);
    ASSERT_EQ(SetTimer(m_a, 2, 100, NULL), 2u);
    ASSERT_EQ(SetTimer(m_b, 1, 100, NULL), 1u);
    EXPECT_EQ(Due(), Fired{});
    // Three periods pass unread: still one message per timer.
    desktop::AdvanceClock(350);
    EXPECT_EQ(Due(), (Fired{{m_a, 1}, {m_a, 2}, {m_b, 1}}));
    EXPECT_EQ(Due(), Fired{});
    desktop::AdvanceClock(100);
    EXPECT_EQ(Due().size(), 3u);
}

TEST_F(TimerTest, SettingAnIdAgainRestartsItWithTheNewPeriod)
{
    SetTimer(m_a, 5, 100, NULL);
    desktop::AdvanceClock(90);
    SetTimer(m_a, 5, 300, NULL);
    desktop::AdvanceClock(200);
    EXPECT_EQ(Due(), Fired{});
    desktop::AdvanceClock(100);
    EXPECT_EQ(Due(), (Fired{{m_a, 5}}));
}

TEST_F(TimerTest, PeekingLeavesTheTimerDueAndRemovingStartsTheNextPeriod)
{
    SetTimer(m_a, 1, 100, NULL);
    desktop::AdvanceClock(100);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(Due(), (Fired{{m_a, 1}}));
    desktop::AdvanceClock(99);
    EXPECT_EQ(Due(), Fired{});
    desktop::AdvanceClock(1);
    EXPECT_EQ(Due(), (Fired{{m_a, 1}}));
}

TEST_F(TimerTest, KilledTimersAndTimersOfDestroyedWindowsStop)
{
    SetTimer(m_a, 1, 100, NULL);
    SetTimer(m_b, 1, 100, NULL);
    EXPECT_TRUE(KillTimer(m_a, 1));
    EXPECT_FALSE(KillTimer(m_a, 1));
    EXPECT_FALSE(KillTimer(m_a, 42));
    DestroyWindow(m_b);
    desktop::AdvanceClock(1000);
    EXPECT_EQ(Due(), Fired{});
    EXPECT_EQ(SetTimer(m_b, 1, 100, NULL), 0u);
}

TEST_F(TimerTest, ThreadTimersGetFreshIdsAndNoWindow)
{
    const UINT_PTR first = SetTimer(NULL, 0, 50, NULL);
    const UINT_PTR second = SetTimer(NULL, 0, 50, NULL);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    // Naming a live thread timer resets it rather than making another.
    EXPECT_EQ(SetTimer(NULL, first, 80, NULL), first);
    desktop::AdvanceClock(50);
    EXPECT_EQ(Due(), (Fired{{nullptr, second}}));
    desktop::AdvanceClock(30);
    EXPECT_EQ(Due(), (Fired{{nullptr, first}}));
    EXPECT_TRUE(KillTimer(NULL, first));
    EXPECT_TRUE(KillTimer(NULL, second));
}

TEST_F(TimerTest, ShortPeriodsAreRaisedToTheMinimumAndDueTimesSurviveTheWrap)
{
    desktop::UseManualClock(0xFFFFFFF0u);
    SetTimer(m_a, 1, 0, NULL);
    desktop::AdvanceClock(9);
    EXPECT_EQ(Due(), Fired{});
    desktop::AdvanceClock(1);  // 0xFFFFFFFA
    EXPECT_EQ(Due(), (Fired{{m_a, 1}}));
    desktop::AdvanceClock(10);  // past the wrap: 4
    EXPECT_EQ(Due(), (Fired{{m_a, 1}}));
}

TEST_F(TimerTest, FailedSetTimerMakesNoTimer)
{
    desktop::FailOnce("SetTimer");
    EXPECT_EQ(SetTimer(m_a, 1, 10, NULL), 0u);
    desktop::AdvanceClock(100);
    EXPECT_EQ(Due(), Fired{});
}

}  // namespace

namespace {

// Reading the queue when nothing is due skips looking through every timer
// and window; whatever becomes due or needs painting afterwards still comes.
TEST_F(TimerTest, WhatComesDueAfterAnEmptyLookStillArrives)
{
    SetTimer(m_a, 1, 500, nullptr);
    EXPECT_TRUE(Due().empty());
    SetTimer(m_b, 2, 100, nullptr);  // earlier than anything seen so far
    desktop::AdvanceClock(100);
    EXPECT_EQ(Due(), (Fired{{m_b, 2}}));
    desktop::AdvanceClock(400);
    EXPECT_EQ(Due(), (Fired{{m_b, 2}, {m_a, 1}}));  // the one due first comes first

    MSG m;
    HWND hidden = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    InvalidateRect(hidden, nullptr, FALSE);  // not shown: nothing to paint
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    SetWindowLongA(hidden, GWL_STYLE, WS_POPUP | WS_VISIBLE);  // shown by its style
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_EQ(m.hwnd, hidden);
}

}  // namespace
