// The main window's loops and frame, frame pacing on the manual clock, the
// virtual top window and the host-side frame interface.
#include "kwnd_fixture.h"

#include <windows.h>

namespace {

using LoopTest = WndTest;
using FpsTest = WndTest;
using VirtualTest = WndTest;

// A game's main window: counts its idle frames and acts at set frames.
class Game : public KestrelMainWnd {
    KWND_DECLARE_MESSAGES()
public:
    int m_frames = 0;
    int m_endAt = 0;          // OnIdle returns 1 at this frame (0: never)
    int m_minimiseAt = 0;     // minimises itself at this frame, with a timer to come back
    int m_quitAt = 0;         // destroys a control window at this frame
    KestrelWnd* m_control = nullptr;
    std::vector<DWORD> m_frameTimes;
    std::vector<UINT> m_dispatched;
    KestrelFPS m_fps;

    // Paces first, then draws: each frame starts a frame interval after
    // the previous one.
    int OnIdle() override
    {
        m_fps.Wait();
        m_frames++;
        m_frameTimes.push_back(timeGetTime());
        Render(NULL);
        if (m_frames == m_minimiseAt) {
            SetTimer(m_hWnd, 9, 100, NULL);
            ::ShowWindow(m_hWnd, SW_MINIMIZE);
        }
        if (m_frames == m_quitAt && m_control != nullptr)
            DestroyWindow(m_control->GetHandle());
        return m_frames == m_endAt ? 1 : 0;
    }
    int OnTimer(WPARAM id, LPARAM)
    {
        m_dispatched.push_back(WM_TIMER);
        KillTimer(m_hWnd, id);
        ::ShowWindow(m_hWnd, SW_RESTORE);
        return 0;
    }
    int OnUser(WPARAM, LPARAM)
    {
        m_dispatched.push_back(WM_USER);
        return 0;
    }
    bool Running() const { return m_bActive != 0; }
};

}  // namespace

KWND_BEGIN_MESSAGES(Game, KestrelMainWnd)
    KWND_MESSAGE(WM_TIMER, Game::OnTimer)
    KWND_MESSAGE(WM_USER, Game::OnUser)
KWND_END_MESSAGES()

namespace {

class GameTest : public WndTest {
protected:
    void SetUp() override
    {
        WndTest::SetUp();
        desktop::UseManualClock(1000);
        ASSERT_EQ(m_game.Create(KestrelWnd::m_ClassName, "game", WS_POPUP, 0, 0, 64, 48,
                                (HWND)NULL, 0),
                  0);
        m_game.SetGraph(MakeGraph(m_game.GetHandle(), 64, 48));
        m_game.m_fps.SetFPS(50);
    }
    void TearDown() override
    {
        m_game.Release();
        WndTest::TearDown();
    }
    Game m_game;
};

TEST_F(GameTest, IdleFramesRunWhileActiveAndTheLoopEndsOnANonZeroOnIdle)
{
    EXPECT_TRUE(m_game.Running());  // renders before any activation
    ::ShowWindow(m_game.GetHandle(), SW_SHOW);
    KestrelWnd control;
    control.SetGraph(m_graph);
    MakeControl(control, m_game, 4, 4, 8, 8);
    GiveBack(control, 8, 8, 0x07E0);
    m_game.m_endAt = 4;
    PostMessageA(m_game.GetHandle(), WM_USER, 0, 0);
    EXPECT_EQ(m_game.MessageRunIdle(), 0);
    EXPECT_EQ(m_game.m_frames, 4);
    // The posted message and the painting came before the first frame; the
    // frames are 20 ms apart, paced by KestrelFPS on the manual clock.
    EXPECT_EQ(m_game.m_dispatched, std::vector<UINT>{WM_USER});
    EXPECT_EQ(m_game.m_frameTimes, (std::vector<DWORD>{1000, 1020, 1040, 1060}));
    // Showing the window made it need painting: WM_PAINT presented the back
    // screen and recorded one more drawing of the tree before frame 1, so
    // frames 1 and 2 differ and were presented; frames 3 and 4 repeat frame
    // 2 and were not.
    EXPECT_EQ(desktop::PresentCount(m_game.GetHandle()), 3);
    EXPECT_EQ(Presented(m_game.GetHandle(), 5, 5), 0x07E0);
}

// Windows sends WM_PAINT for the part of a window that needs painting again
// (uncovered, restored) with that part in BeginPaint's rcPaint; the window
// gets the back screen's pixels there at once, though no frame changes
// anything, and nowhere else.
TEST_F(GameTest, APaintMessageShowsTheBackScreenInTheInvalidRectangle)
{
    const HWND hwnd = m_game.GetHandle();
    ::ShowWindow(hwnd, SW_SHOW);
    KestrelWnd control;
    control.SetGraph(m_graph);
    MakeControl(control, m_game, 4, 4, 8, 8);
    GiveBack(control, 8, 8, 0x07E0);
    m_game.m_endAt = 3;
    ASSERT_EQ(m_game.MessageRunIdle(), 0);
    ASSERT_EQ(Presented(hwnd, 5, 5), 0x07E0);
    const WORD backAt2 = *SpritePixel16(m_graph->GetBackScreenData(), 2, 2);
    // Something else paints over the window, as a window over it did.
    HDC dc = GetDC(hwnd);
    PatBlt(dc, 0, 0, 64, 48, WHITENESS);
    ReleaseDC(hwnd, dc);
    ASSERT_EQ(Presented(hwnd, 5, 5), 0xFFFF);
    const int presents = desktop::PresentCount(hwnd);
    RECT part = {2, 2, 10, 10};
    InvalidateRect(hwnd, &part, FALSE);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_EQ(desktop::PresentCount(hwnd), presents + 1);
    EXPECT_EQ(Presented(hwnd, 5, 5), 0x07E0);
    EXPECT_EQ(Presented(hwnd, 9, 9), 0x07E0);
    EXPECT_EQ(Presented(hwnd, 2, 2), backAt2);
    EXPECT_EQ(Presented(hwnd, 10, 10), 0xFFFF);  // outside the rectangle
    EXPECT_EQ(Presented(hwnd, 1, 5), 0xFFFF);
    // The frames after it present only what they change (the painting
    // recorded the tree once more, so the control's place), not the rest.
    m_game.m_frames = 0;
    ASSERT_EQ(m_game.MessageRunIdle(), 0);
    EXPECT_EQ(Presented(hwnd, 10, 10), 0x07E0);
    EXPECT_EQ(Presented(hwnd, 20, 20), 0xFFFF);
}

TEST_F(GameTest, WhileMinimisedTheLoopWaitsForTheNextMessage)
{
    ::ShowWindow(m_game.GetHandle(), SW_SHOW);
    m_game.m_minimiseAt = 2;
    m_game.m_endAt = 4;
    EXPECT_EQ(m_game.MessageRunIdle(), 0);
    // Frame 2 minimised the window at 1020 with a timer due at 1120; the
    // loop waited (moving the clock to the timer), whose handler restored
    // the window, and frames went on from there without a sleep.
    EXPECT_EQ(m_game.m_frameTimes, (std::vector<DWORD>{1000, 1020, 1120, 1140}));
    EXPECT_EQ(m_game.m_dispatched, std::vector<UINT>{WM_TIMER});
    EXPECT_TRUE(m_game.IsActive());
}

TEST_F(GameTest, QuitEndsTheLoopWithoutAnotherFrame)
{
    KestrelWnd control;
    MakeControl(control, m_game, 1, 1, 5, 5);
    m_game.m_control = &control;
    m_game.m_quitAt = 3;
    EXPECT_EQ(m_game.MessageRunIdle(), 0);
    EXPECT_EQ(m_game.m_frames, 3);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
}

TEST_F(GameTest, MessageRunDispatchesUntilQuit)
{
    ::ShowWindow(m_game.GetHandle(), SW_SHOW);
    desktop::ScriptMouse(1500, m_game.GetHandle(), WM_MOUSEMOVE, 3, 3);
    SetTimer(m_game.GetHandle(), 9, 700, NULL);  // restores; then a control's end quits
    KestrelWnd control;
    MakeControl(control, m_game, 1, 1, 5, 5);
    PostMessageA(m_game.GetHandle(), WM_USER, 0, 0);
    desktop::ScriptKey(2000, m_game.GetHandle(), WM_KEYDOWN, 'Q');
    PostMessageA(control.GetHandle(), WM_DESTROY, 0, 0);  // reaches the object: quits
    EXPECT_EQ(m_game.MessageRun(), 0);
    EXPECT_EQ(m_game.m_dispatched, std::vector<UINT>{WM_USER});
    EXPECT_EQ(m_game.m_frames, 0);
    EXPECT_EQ(timeGetTime(), 1000u);  // the quit came before the timer and the input
}

TEST_F(GameTest, RenderDrawsTheTreeAndPresentsOnlyWhatChanged)
{
    KestrelWnd control;
    control.SetGraph(m_graph);
    MakeControl(control, m_game, 10, 10, 20, 20);
    GiveBack(control, 20, 20, 0x07E0);
    const HWND hwnd = m_game.GetHandle();
    ASSERT_EQ(m_game.Render(NULL), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
    EXPECT_EQ(Presented(hwnd, 15, 15), 0x07E0);
    ASSERT_EQ(m_game.Render(NULL), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);  // nothing changed: not presented
    control.MoveTo(30, 10);
    ASSERT_EQ(m_game.Render(NULL), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 2);
    EXPECT_EQ(Presented(hwnd, 45, 15), 0x07E0);
    // Without a device there is nothing to render with.
    KestrelMainWnd bare;
    EXPECT_EQ(bare.Render(NULL), E_FAIL);
    EXPECT_TRUE(Asserted("m_Graph"));
}

TEST_F(FpsTest, WaitSleepsWhatRemainsOfTheFrame)
{
    desktop::UseManualClock(5000);
    KestrelFPS fps;
    EXPECT_FALSE(fps.CheckRender());
    fps.SetFPS(50);
    EXPECT_EQ(fps.GetInterval(), 20u);
    fps.Wait();  // the first call only takes the time
    EXPECT_EQ(timeGetTime(), 5000u);
    EXPECT_TRUE(fps.CheckRender());
    desktop::AdvanceClock(7);
    fps.Wait();  // 7 ms after the previous one: sleeps 13
    EXPECT_EQ(timeGetTime(), 5020u);
    desktop::AdvanceClock(25);
    fps.Wait();  // late: no sleep
    EXPECT_EQ(timeGetTime(), 5045u);
    desktop::AdvanceClock(20);
    EXPECT_FALSE(fps.CheckRender());  // the interval has passed
    fps.Wait();
    EXPECT_EQ(timeGetTime(), 5065u);

    fps.SetFPS(0);
    fps.SetFPS(-5);
    EXPECT_EQ(fps.GetInterval(), 20u);
    fps.SetFPS(60);
    EXPECT_EQ(fps.GetInterval(), 16u);
    fps.SetFPS(30);
    EXPECT_EQ(fps.GetInterval(), 33u);
    KestrelFPS copy = fps;
    EXPECT_EQ(copy.GetInterval(), 33u);
}

TEST_F(FpsTest, PacingHoldsAcrossTheWrapAndAtTimeZero)
{
    desktop::UseManualClock(0xFFFFFFF8u);
    KestrelFPS fps;
    fps.SetFPS(50);
    fps.Wait();
    desktop::AdvanceClock(5);  // 0xFFFFFFFD
    fps.Wait();
    EXPECT_EQ(timeGetTime(), 0x0000000Cu);  // slept 15 across the wrap

    // A frame taken at clock time 0 still counts as a frame.
    desktop::UseManualClock(0);
    KestrelFPS atZero;
    atZero.SetFPS(50);
    atZero.Wait();
    desktop::AdvanceClock(4);
    atZero.Wait();
    EXPECT_EQ(timeGetTime(), 20u);

    // An interval of 0 never sleeps.
    KestrelFPS none;
    none.Wait();
    none.Wait();
    EXPECT_EQ(timeGetTime(), 20u);
}

// A window the host made with its own procedure.
LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(VirtualTest, TheHostsWindowStaysTheHosts)
{
    KestrelWnd::m_hInst = NULL;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = "HostWindow";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND host = CreateWindowExA(0, "HostWindow", "", WS_POPUP, 0, 0, 64, 48, NULL, NULL, NULL, NULL);
    SetWindowLongA(host, GWL_USERDATA, 77);
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(uintptr_t(0x5000));
    {
        VirtualKestrelWnd top;
        top.Init(MakeGraph(host, 64, 48), module, 2, 3, 60, 40, host);
        EXPECT_EQ(top.GetHandle(), host);
        EXPECT_EQ(top.GetGraph(), m_graph);
        EXPECT_EQ(top.GetKFont(), &m_font);
        EXPECT_EQ(*top.GetRect(), (RECT{2, 3, 62, 43}));
        EXPECT_EQ(*top.GetClientArea(), (RECT{0, 0, 0, 0}));
        EXPECT_EQ(KestrelWnd::m_hInst, module);
        EXPECT_EQ(GetWindowLongA(host, GWL_USERDATA), 77);
        // Its tree draws like any top window's.
        KestrelWnd control;
        control.SetGraph(m_graph);
        MakeControl(control, top, 4, 4, 8, 8);
        GiveBack(control, 8, 8, 0xF81F);
        top.Draw(NULL);
        m_graph->Render();
        EXPECT_EQ(Presented(host, 5, 5), 0xF81F);
        control.Release();
    }
    // Released: the host's window untouched and nothing posted to it.
    EXPECT_TRUE(IsWindow(host));
    EXPECT_EQ(GetWindowLongA(host, GWL_USERDATA), 77);
    EXPECT_EQ(KestrelWnd::m_hInst, nullptr);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, host, 0, 0, PM_NOREMOVE));
}

TEST_F(VirtualTest, InitAfterAVirtualTopWindowRegistersNothing)
{
    KestrelWnd::m_hInst = NULL;
    ASSERT_TRUE(UnregisterClassA(KestrelWnd::m_ClassName, NULL));
    HWND host = MakeWindow(8, 8);
    VirtualKestrelWnd top;
    top.Init(MakeGraph(host, 8, 8), reinterpret_cast<HINSTANCE>(uintptr_t(0x5000)), 0, 0, 8, 8,
             host);
    KestrelWnd::Init(TestModule());
    KestrelWnd wnd;
    EXPECT_EQ(wnd.Create(KestrelWnd::m_ClassName, "", WS_POPUP, 0, 0, 1, 1, (HWND)NULL, 0), E_FAIL);
    top.Release();
    KestrelWnd::Init(TestModule());  // released: the next Init registers again
    EXPECT_EQ(wnd.Create(KestrelWnd::m_ClassName, "", WS_POPUP, 0, 0, 1, 1, (HWND)NULL, 0), 0);
}

TEST_F(VirtualTest, AFrameHoldsTheDevice)
{
    class HostFrame : public KestrelFrame {
    public:
        long Create() override { return 0; }
        void Destroy() override {}
        long Update() override { return 0; }
        long Render() override { return 0; }
        long OnMessage(UINT, WPARAM, LPARAM) override { return 0; }
    } frame;
    EXPECT_EQ(frame.GetGraph(), nullptr);
    HWND hwnd = MakeWindow(8, 8);
    frame.SetGraph(MakeGraph(hwnd, 8, 8));
    EXPECT_EQ(frame.GetGraph(), m_graph);
    frame.SetGraph(nullptr);
    EXPECT_TRUE(Asserted("pGraph != NULL"));
}

}  // namespace
