// The message queue: Win32's retrieval order, peeking, filters, posting from
// other threads, translating keys, dispatching, and waiting on the manual
// clock.
#include "platform_fixture.h"

#include <atomic>
#include <thread>

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK SeenProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_NCCREATE && msg != WM_CREATE)
        g_seen.push_back({hwnd, msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class QueueTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        g_seen.clear();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = SeenProc;
        wc.lpszClassName = "Seen";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    HWND Make(DWORD style = WS_POPUP)
    {
        return CreateWindowExA(0, "Seen", "", style, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    }
    // Every message waiting, removed, in retrieval order.
    std::vector<MSG> Drain()
    {
        std::vector<MSG> out;
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            out.push_back(m);
            if (m.message == WM_PAINT)
                DispatchMessageA(&m);  // validates, or it would come back
        }
        return out;
    }
    static std::vector<UINT> Numbers(const std::vector<MSG>& msgs)
    {
        std::vector<UINT> out;
        for (const MSG& m : msgs)
            out.push_back(m.message);
        return out;
    }
};

TEST_F(QueueTest, PostedFirstThenQuitThenInputThenPaintThenTimers)
{
    desktop::UseManualClock(1000);
    HWND hwnd = Make(WS_POPUP | WS_VISIBLE);  // needs painting from the start
    ASSERT_TRUE(SetTimer(hwnd, 7, 10, NULL));
    desktop::AdvanceClock(10);
    ASSERT_TRUE(desktop::InjectMouse(hwnd, WM_MOUSEMOVE, 5, 5));
    PostQuitMessage(3);
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 2, 2, 0));

    const std::vector<MSG> got = Drain();
    ASSERT_EQ(Numbers(got), (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_QUIT, WM_MOUSEMOVE,
                                               WM_PAINT, WM_TIMER}));
    EXPECT_EQ(got[2].hwnd, nullptr);
    EXPECT_EQ(got[2].wParam, 3u);
    EXPECT_EQ(got[5].wParam, 7u);
    EXPECT_EQ(got[5].hwnd, hwnd);
}

TEST_F(QueueTest, QuitWaitsForPostedMessagesAndComesOnce)
{
    HWND hwnd = Make();
    PostQuitMessage(0);
    PostMessageA(hwnd, WM_USER, 0, 0);
    MSG m;
    EXPECT_EQ(GetMessageA(&m, NULL, 0, 0), 1);
    EXPECT_EQ(m.message, UINT(WM_USER));
    EXPECT_EQ(GetMessageA(&m, NULL, 0, 0), 0);
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, PeekWithoutRemovingLeavesTheMessage)
{
    HWND hwnd = Make();
    PostMessageA(hwnd, WM_USER, 5, 6);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.lParam, 6);
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE));

    // WM_PAINT stays until the window is validated, however often it is removed.
    InvalidateRect(hwnd, NULL, FALSE);
    ShowWindow(hwnd, SW_SHOWNA);
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_PAINT));
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_PAINT));
    DispatchMessageA(&m);  // DefWindowProcA validates
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, FiltersByWindowAndNumber)
{
    HWND a = Make();
    HWND b = Make();
    PostMessageA(a, WM_USER + 1, 0, 0);
    PostMessageA(b, WM_USER + 2, 0, 0);
    PostMessageA(NULL, WM_USER + 3, 0, 0);  // a thread message
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_USER + 3));
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&m, NULL, WM_USER + 2, WM_USER + 9, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, NULL, WM_USER, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a);

    // A quit request passes any number filter.
    PostQuitMessage(9);
    EXPECT_EQ(GetMessageA(&m, NULL, WM_KEYFIRST, WM_KEYLAST), 0);
    EXPECT_EQ(m.wParam, 9u);
    // A filter window that does not exist, or no MSG: -1.
    EXPECT_EQ(GetMessageA(&m, reinterpret_cast<HWND>(uintptr_t(0x999)), 0, 0), -1);
    EXPECT_EQ(GetMessageA(nullptr, NULL, 0, 0), -1);
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(uintptr_t(0x999)), WM_USER, 0, 0));
}

TEST_F(QueueTest, PostingIsSafeFromOtherThreadsAndKeepsEachThreadsOrder)
{
    HWND hwnd = Make();
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([hwnd, t] {
            for (int i = 0; i < kEach; ++i)
                PostMessageA(hwnd, WM_USER + t, WPARAM(i), 0);
        });
    int next[kThreads] = {};
    MSG m;
    for (int got = 0; got < kThreads * kEach; ++got) {
        ASSERT_EQ(GetMessageA(&m, NULL, 0, 0), 1);  // waits on the real clock
        const int t = int(m.message - WM_USER);
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(m.wParam, WPARAM(next[t]));
        next[t]++;
    }
    for (auto& p : posters)
        p.join();
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, TranslateMessagePostsTheCharacterNext)
{
    HWND hwnd = Make(WS_POPUP | WS_VISIBLE);
    SetFocus(hwnd);
    desktop::InjectKey(hwnd, WM_KEYDOWN, 'Q');
    desktop::InjectKey(hwnd, WM_KEYUP, 'Q');
    desktop::InjectKey(hwnd, WM_KEYDOWN, VK_SHIFT);
    desktop::InjectKey(hwnd, WM_KEYDOWN, 'Q');
    desktop::InjectKey(hwnd, WM_KEYDOWN, VK_LEFT);
    std::vector<std::pair<UINT, WPARAM>> got;
    MSG m;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
        if (m.message == WM_PAINT) {
            DispatchMessageA(&m);
            continue;
        }
        got.push_back({m.message, m.wParam});
        EXPECT_EQ(TranslateMessage(&m), m.message == WM_CHAR ? FALSE : TRUE);
    }
    EXPECT_EQ(got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, 'Q'},
                                                          {WM_CHAR, 'q'},
                                                          {WM_KEYUP, 'Q'},
                                                          {WM_KEYDOWN, VK_SHIFT},
                                                          {WM_KEYDOWN, 'Q'},
                                                          {WM_CHAR, 'Q'},
                                                          {WM_KEYDOWN, VK_LEFT}}));
    EXPECT_FALSE(TranslateMessage(nullptr));
}

int g_timerProcCalls = 0;
UINT_PTR g_timerProcId = 0;
VOID CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    g_timerProcCalls++;
    g_timerProcId = id;
}

TEST_F(QueueTest, DispatchRunsTheProcedureOrTheTimersOwnProcedure)
{
    desktop::UseManualClock(0);
    HWND hwnd = Make();
    PostMessageA(hwnd, WM_USER, 4, 5);
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, NULL, 0, 0));
    DispatchMessageA(&m);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].msg, UINT(WM_USER));
    EXPECT_EQ(g_seen[0].lParam, 5);

    g_timerProcCalls = 0;
    ASSERT_EQ(SetTimer(hwnd, 3, 50, CountingTimerProc), 3u);
    ASSERT_TRUE(GetMessageA(&m, NULL, 0, 0));  // moves the clock to the timer
    EXPECT_EQ(timeGetTime(), 50u);
    EXPECT_EQ(m.message, UINT(WM_TIMER));
    EXPECT_EQ(m.lParam, reinterpret_cast<LPARAM>(&CountingTimerProc));
    DispatchMessageA(&m);
    EXPECT_EQ(g_timerProcCalls, 1);
    EXPECT_EQ(g_timerProcId, 3u);
    EXPECT_EQ(g_seen.size(), 1u);  // the window procedure did not see it

    // A forged WM_TIMER naming a procedure of no live timer calls nothing.
    PostMessageA(hwnd, WM_TIMER, 99, reinterpret_cast<LPARAM>(&CountingTimerProc));
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    DispatchMessageA(&m);
    EXPECT_EQ(g_timerProcCalls, 1);
    // Thread messages and gone windows have no procedure.
    MSG none = {};
    none.message = WM_USER;
    EXPECT_EQ(DispatchMessageA(&none), 0);
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
}

TEST_F(QueueTest, WaitOnTheManualClockJumpsToTheNextTimerOrScriptedInput)
{
    desktop::UseManualClock(500);
    HWND hwnd = Make();
    ASSERT_TRUE(desktop::ScriptMouse(620, hwnd, WM_LBUTTONDOWN, 3, 4));
    ASSERT_TRUE(SetTimer(hwnd, 1, 300, NULL));  // due at 800
    EXPECT_EQ(desktop::PendingInput(), 1u);

    ASSERT_TRUE(WaitMessage());
    EXPECT_EQ(timeGetTime(), 620u);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(m.time, 620u);
    EXPECT_EQ(desktop::PendingInput(), 0u);

    ASSERT_EQ(GetMessageA(&m, NULL, 0, 0), 1);
    EXPECT_EQ(m.message, UINT(WM_TIMER));
    EXPECT_EQ(timeGetTime(), 800u);
    // The next period starts when the message is removed.
    ASSERT_EQ(GetMessageA(&m, NULL, 0, 0), 1);
    EXPECT_EQ(timeGetTime(), 1100u);

    // A message already waiting: no time passes.
    PostMessageA(hwnd, WM_USER, 0, 0);
    ASSERT_TRUE(WaitMessage());
    EXPECT_EQ(timeGetTime(), 1100u);
}

TEST_F(QueueTest, SleepLetsScriptedInputAndTimersFallDue)
{
    desktop::UseManualClock(0);
    HWND hwnd = Make();
    desktop::ScriptKey(30, hwnd, WM_KEYDOWN, 'A');
    SetTimer(hwnd, 1, 40, NULL);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    Sleep(29);
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    Sleep(25);
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_KEYDOWN));
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_TIMER));
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, WaitWithNothingToComeOnTheManualClockFailsLoudly)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            desktop::UseManualClock(0);
            WaitMessage();
        },
        "WaitMessage would wait for ever");
    EXPECT_DEATH(
        {
            desktop::UseManualClock(0);
            MSG m;
            GetMessageA(&m, NULL, 0, 0);
        },
        "GetMessageA would wait for ever");
    EXPECT_DEATH(
        {
            desktop::UseManualClock(0);
            Sleep(INFINITE);
        },
        "Sleep\\(INFINITE\\)");
}

TEST_F(QueueTest, AWaitingLoopWakesForAPostFromAnotherThread)
{
    desktop::UseManualClock(0);
    HWND hwnd = Make();
    std::thread poster([hwnd] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessageA(hwnd, WM_USER + 5, 0, 0);
    });
    MSG m;
    EXPECT_EQ(GetMessageA(&m, NULL, 0, 0), 1);
    EXPECT_EQ(m.message, UINT(WM_USER + 5));
    poster.join();
    EXPECT_EQ(timeGetTime(), 0u);
}

TEST_F(QueueTest, DestroyedWindowsTakeTheirMessagesAlong)
{
    HWND a = Make();
    HWND b = Make();
    PostMessageA(a, WM_USER + 1, 0, 0);
    PostMessageA(b, WM_USER + 2, 0, 0);
    desktop::InjectMouse(a, WM_MOUSEMOVE, 1, 1);
    SetTimer(a, 1, 10, NULL);
    DestroyWindow(a);
    const std::vector<MSG> got = Drain();
    ASSERT_EQ(Numbers(got), (std::vector<UINT>{WM_USER + 2}));
    EXPECT_EQ(got[0].hwnd, b);
}

}  // namespace
