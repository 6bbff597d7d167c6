// Mouse routing: the main window's routers post each message on to the
// child hit, through the real queue; the mouse-move router keeps the hover
// child and tells it when the mouse has left.
#include "kwnd_fixture.h"
#include <windowsx.h>

namespace {

class MouseTest : public WndTest {
protected:
    void SetUp() override
    {
        WndTest::SetUp();
        ASSERT_EQ(m_main.Create(KestrelWnd::m_ClassName, "main", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                150, (HWND)NULL, 0),
                  0);
        m_hwnd = m_main.GetHandle();
    }
    void TearDown() override
    {
        m_main.Release();
        WndTest::TearDown();
    }
    // Injects the message at the main window and runs the queue dry.
    void At(UINT msg, int x, int y)
    {
        ASSERT_TRUE(desktop::InjectMouse(m_hwnd, msg, x, y));
        Pump();
    }
    // Who heard what since the last call.
    std::vector<Heard> Take()
    {
        std::vector<Heard> out;
        out.swap(g_heard);
        return out;
    }
    Probe m_main;
    HWND m_hwnd = nullptr;
};

TEST_F(MouseTest, ClicksGoToTheChildHitWithTheirParametersUnchanged)
{
    Recorder a, b;
    MakeControl(a, m_main, 10, 10, 50, 50, 1);
    MakeControl(b, m_main, 100, 10, 50, 50, 2);
    At(WM_LBUTTONDOWN, 20, 30);
    At(WM_LBUTTONUP, 20, 30);
    At(WM_RBUTTONDOWN, 120, 40);
    At(WM_RBUTTONUP, 120, 40);
    At(WM_LBUTTONDBLCLK, 11, 11);
    At(WM_RBUTTONDBLCLK, 149, 59);
    At(WM_LBUTTONDOWN, 70, 30);  // between them: nobody
    EXPECT_EQ(Take(), (std::vector<Heard>{
                          {&a, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 30)},
                          {&a, WM_LBUTTONUP, 0, MAKELPARAM(20, 30)},
                          {&b, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(120, 40)},
                          {&b, WM_RBUTTONUP, 0, MAKELPARAM(120, 40)},
                          {&a, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(11, 11)},
                          {&b, WM_RBUTTONDBLCLK, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(149, 59)},
                      }));
}

TEST_F(MouseTest, TopChildThenFocusChildThenTheListInOrder)
{
    Recorder first, second, focus, top;
    MakeControl(first, m_main, 0, 0, 100, 100, 1);
    MakeControl(second, m_main, 0, 0, 100, 100, 2);
    MakeControl(focus, m_main, 40, 40, 100, 100, 3);
    MakeControl(top, m_main, 80, 80, 100, 60, 4);
    m_main.FocusChild(&focus);
    m_main.SetTopChild(&top);
    At(WM_LBUTTONDOWN, 90, 90);  // all four
    At(WM_LBUTTONDOWN, 50, 50);  // first, second, focus
    At(WM_LBUTTONDOWN, 5, 5);    // first, second: the first in list order
    second.HideWindow();
    first.HideWindow();
    At(WM_LBUTTONDOWN, 5, 5);  // hidden list children are skipped
    top.HideWindow();
    At(WM_LBUTTONDOWN, 90, 90);  // a hidden top child still takes clicks
    std::vector<const KestrelWnd*> who;
    for (const Heard& h : Take())
        who.push_back(h.wnd);
    EXPECT_EQ(who, (std::vector<const KestrelWnd*>{&top, &focus, &first, &top}));
}

// Counts its hit tests.
class Counted : public Recorder {
public:
    int m_tests = 0;
    bool IsIn(long x, long y) override
    {
        m_tests++;
        return Recorder::IsIn(x, y);
    }
};

TEST_F(MouseTest, AChildThatIsAlsoTopIsTestedOnceAsTop)
{
    Counted a, b;
    MakeControl(a, m_main, 0, 0, 100, 100, 1);
    MakeControl(b, m_main, 100, 0, 50, 50, 2);
    m_main.SetTopChild(&b);
    m_main.FocusChild(&a);
    At(WM_LBUTTONDOWN, 190, 140);  // misses both
    EXPECT_EQ(a.m_tests, 1);
    EXPECT_EQ(b.m_tests, 1);
    At(WM_LBUTTONDOWN, 50, 50);  // top misses, focus hits
    EXPECT_EQ(b.m_tests, 2);
    const std::vector<Heard> heard = Take();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].wnd, &a);
}

TEST_F(MouseTest, AChildWithChildrenIsHitInsideItsClientAreaAndRoutesOn)
{
    KestrelWnd panel;  // routes with KestrelWnd's own handlers
    MakeControl(panel, m_main, 50, 50, 100, 80, 1);
    panel.SetRect(60, 60, 10, 10);  // its own test would miss most of it
    Recorder inner;
    MakeControl(inner, panel, 120, 100, 10, 10, 2);
    At(WM_LBUTTONDOWN, 125, 105);  // main -> panel (client area) -> inner
    const std::vector<Heard> heard = Take();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].wnd, &inner);
    EXPECT_EQ(heard[0].lParam, MAKELPARAM(125, 105));
}

TEST_F(MouseTest, HiddenOrDisabledWindowsRouteNothing)
{
    Recorder a;
    MakeControl(a, m_main, 10, 10, 50, 50);
    m_main.Disable();
    At(WM_LBUTTONDOWN, 20, 20);
    At(WM_MOUSEMOVE, 20, 20);
    m_main.Enable();
    m_main.HideWindow();
    At(WM_RBUTTONDOWN, 20, 20);
    EXPECT_TRUE(Take().empty());
    m_main.ShowWindow();
    At(WM_RBUTTONDOWN, 20, 20);
    EXPECT_EQ(Take().size(), 1u);
}

TEST_F(MouseTest, MovesGoToTheHoverChildWhichHearsWhenTheMouseLeaves)
{
    Recorder a, b;
    MakeControl(a, m_main, 10, 10, 50, 50, 1);
    MakeControl(b, m_main, 100, 10, 50, 50, 2);
    At(WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ(m_main.Hover(), &a);
    EXPECT_EQ(m_main.LastMouse().x, 20);
    At(WM_MOUSEMOVE, 110, 20);  // from a to b
    EXPECT_EQ(m_main.Hover(), &b);
    At(WM_MOUSEMOVE, 80, 20);  // onto nothing: b keeps the role...
    At(WM_MOUSEMOVE, 81, 20);  // ...and hears it left with every move that misses
    EXPECT_EQ(m_main.Hover(), &b);
    EXPECT_EQ(Take(), (std::vector<Heard>{
                          {&a, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20)},
                          {&a, KWM_MOUSELEAVE, 0, MAKELPARAM(110, 20)},
                          {&b, WM_MOUSEMOVE, 0, MAKELPARAM(110, 20)},
                          {&b, KWM_MOUSELEAVE, 0, MAKELPARAM(80, 20)},
                          {&b, KWM_MOUSELEAVE, 0, MAKELPARAM(81, 20)},
                      }));
    m_main.MouseLeave();
    Pump();
    EXPECT_EQ(Take(), (std::vector<Heard>{{&b, KWM_MOUSELEAVE, 0, 0}}));
}

TEST_F(MouseTest, ACaptureChildGetsEveryMoveAndTheHoverChildNoLeave)
{
    Recorder a, b;
    MakeControl(a, m_main, 10, 10, 50, 50, 1);
    MakeControl(b, m_main, 100, 10, 50, 50, 2);
    At(WM_MOUSEMOVE, 20, 20);
    Take();
    m_main.CatchChild(&b);
    At(WM_LBUTTONDOWN, 20, 20);  // clicks still route by position
    At(WM_MOUSEMOVE, 190, 140);
    EXPECT_EQ(m_main.LastMouse().x, 20);  // not even the position is kept
    EXPECT_EQ(Take(), (std::vector<Heard>{
                          {&a, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20)},
                          {&b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(190, 140)},
                      }));
    // Hiding the captured child releases the capture.
    b.HideWindow();
    EXPECT_EQ(m_main.Catch(), nullptr);
}

TEST_F(MouseTest, NegativeCoordinatesAreSignExtended)
{
    Recorder a;
    MakeControl(a, m_main, -40, -40, 30, 30);
    SendMessageA(m_hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(WORD(-20), WORD(-15)));
    Pump();
    const std::vector<Heard> heard = Take();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].wnd, &a);
    EXPECT_EQ(GET_Y_LPARAM(heard[0].lParam), -15);
}

TEST_F(MouseTest, AChildWithoutAWindowTakesTheClickAndPostsNothing)
{
    Recorder ghost, behind;
    MakeControl(behind, m_main, 0, 0, 100, 100, 2);
    m_main.AddChild(&ghost);  // added before its window was made, which never was
    ghost.SetRect(10, 10, 50, 50);
    m_main.SetTopChild(&ghost);
    At(WM_LBUTTONDOWN, 20, 20);
    At(WM_MOUSEMOVE, 20, 20);
    EXPECT_TRUE(Take().empty());
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));
}

}  // namespace
