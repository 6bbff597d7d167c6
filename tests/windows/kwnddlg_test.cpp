// The dialog driven as a player drives it: dragged with its children by the
// mouse at the main window, brought to the front by a click on it or on a
// child, hit only where its keyed back shows.
#include "controls_fixture.h"

namespace {

const WORD kBackA = 0x7BEF, kBackB = 0x3186, kChild = 0x07E0;

class DlgTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        desktop::UseManualClock(1000);
        OpenMain(200, 120, 30, 20, true);
    }
    // A dialog of w x h at (x, y) with a plain back of one colour, one of the
    // main window's children.
    void Make(KWndDlg& d, int x, int y, int w, int h, WORD colour, bool movable, UINT id = 1)
    {
        d.SetGraph(m_graph);
        ASSERT_EQ(d.Create("dialog", WS_CHILD | WS_VISIBLE, x, y, w, h, &m_main, id), 0);
        m_main.AddChild(&d);
        GiveBack(d, w, h, colour);
        if (movable)
            d.AddState(KWNDDLG_STATE_MOVABLE);
    }
    // A child control of the dialog, coloured, recording what reaches it.
    void MakeChild(Recorder& c, KWndDlg& d, int x, int y, int w, int h)
    {
        MakeControl(c, d, x, y, w, h, 3);
        c.SetGraph(m_graph);
        GiveBack(c, w, h, kChild);
    }
    // Press at `from`, move with the button held in steps, release at `to`.
    void Drag(POINT from, POINT to, int steps = 3)
    {
        Mouse(WM_MOUSEMOVE, from.x, from.y);
        Mouse(WM_LBUTTONDOWN, from.x, from.y);
        for (int i = 1; i <= steps; i++)
            Mouse(WM_MOUSEMOVE, from.x + (to.x - from.x) * i / steps,
                  from.y + (to.y - from.y) * i / steps);
        Mouse(WM_LBUTTONUP, to.x, to.y);
    }
};

TEST_F(DlgTest, ADragMovesTheDialogWithItsChildren)
{
    KWndDlg d;
    Make(d, 20, 20, 60, 40, kBackA, true);
    Recorder child;
    MakeChild(child, d, 50, 30, 20, 10);
    Drag({25, 25}, {35, 31});
    EXPECT_EQ(*d.GetRect(), (RECT{30, 26, 90, 66}));
    EXPECT_EQ(*child.GetRect(), (RECT{60, 36, 80, 46}));
    Frame();
    EXPECT_EQ(At(29, 30), 0);
    EXPECT_EQ(At(30, 26), kBackA);
    EXPECT_EQ(At(60, 36), kChild);
    EXPECT_EQ(At(59, 36), kBackA);
    // Released: further moves move nothing.
    Mouse(WM_MOUSEMOVE, 60, 50);
    EXPECT_EQ(*d.GetRect(), (RECT{30, 26, 90, 66}));
    // A fixed dialog is not dragged.
    d.SubState(KWNDDLG_STATE_MOVABLE);
    Drag({35, 30}, {45, 30});
    EXPECT_EQ(*d.GetRect(), (RECT{30, 26, 90, 66}));
}

// The button comes up where the dialog does not hear it; the dialog still
// holds the capture and hears the next move, which has no button held.
TEST_F(DlgTest, ADragEndsWhenTheButtonComesUpOutsideIt)
{
    KWndDlg d;
    Make(d, 20, 20, 40, 30, kBackA, true);
    Recorder other;
    MakeControl(other, m_main, 120, 60, 40, 40, 9);
    Mouse(WM_LBUTTONDOWN, 25, 25);
    Mouse(WM_MOUSEMOVE, 30, 25);
    EXPECT_EQ(*d.GetRect(), (RECT{25, 20, 65, 50}));
    g_heard.clear();
    Mouse(WM_LBUTTONUP, 130, 70);  // routed to the other control
    ASSERT_EQ(g_heard.size(), 1u);
    EXPECT_EQ(g_heard[0].wnd, &other);
    g_heard.clear();
    Mouse(WM_MOUSEMOVE, 140, 80);  // to the dialog by capture; no button: the drag ends
    EXPECT_TRUE(g_heard.empty());
    EXPECT_EQ(*d.GetRect(), (RECT{25, 20, 65, 50}));
    EXPECT_FALSE(d.GetState() & KWNDDLG_STATE_DRAG);
    // The capture is gone: moves reach the control under the mouse again.
    g_heard.clear();
    Mouse(WM_MOUSEMOVE, 141, 81);
    ASSERT_FALSE(g_heard.empty());
    EXPECT_EQ(g_heard.back().wnd, &other);
    EXPECT_EQ(g_heard.back().msg, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(*d.GetRect(), (RECT{25, 20, 65, 50}));
}

// B lies over A in list order; a click on A (its own area or its child)
// brings it to the front: drawn last, hit first where they overlap.
TEST_F(DlgTest, AClickOnTheDialogOrAChildTakesTheFocus)
{
    KWndDlg a, b;
    Make(a, 20, 20, 60, 40, kBackA, true, 1);
    Make(b, 60, 40, 60, 40, kBackB, true, 2);
    Recorder childA;
    MakeChild(childA, a, 24, 24, 10, 10);
    const int ox = 70, oy = 50;  // inside both
    Frame();
    EXPECT_EQ(At(ox, oy), kBackB);
    Mouse(WM_LBUTTONDOWN, 110, 70);  // B's own area
    Mouse(WM_LBUTTONUP, 110, 70);
    Frame();
    EXPECT_EQ(At(ox, oy), kBackB);
    // A click on A's child: A comes to the front, no drag starts.
    Mouse(WM_LBUTTONDOWN, 26, 26);
    Mouse(WM_MOUSEMOVE, 36, 36);
    Mouse(WM_LBUTTONUP, 36, 36);
    EXPECT_EQ(*a.GetRect(), (RECT{20, 20, 80, 60}));
    Frame();
    EXPECT_EQ(At(ox, oy), kBackA);
    EXPECT_EQ(At(26, 26), kChild);
    // Hit first: a drag in the overlap moves A, not B.
    Drag({ox, oy}, {ox - 10, oy});
    EXPECT_EQ(*a.GetRect(), (RECT{10, 20, 70, 60}));
    EXPECT_EQ(*b.GetRect(), (RECT{60, 40, 120, 80}));
    // And a click on B's own area gives the front back to B.
    Mouse(WM_LBUTTONDOWN, 110, 70);
    Mouse(WM_LBUTTONUP, 110, 70);
    Frame();
    EXPECT_EQ(At(65, 50), kBackB);
}

// Keyed pixels of the back are not the dialog: a click there goes on to the
// next child, and no drag starts.
TEST_F(DlgTest, AKeyedDialogIsHitOnlyWhereItsBackShows)
{
    const std::string back = Bmp("back.bmp", 40, 30, [](int x, int) {
        return x < 10 ? WORD(0xF81F) : kBackA;
    });
    KWndDlg d;
    d.SetGraph(m_graph);
    ASSERT_EQ(d.Create("dialog", WS_CHILD | WS_VISIBLE, 20, 20, 40, 30, &m_main, 1), 0);
    m_main.AddChild(&d);
    ASSERT_EQ(d.LoadBitmap(const_cast<char*>(back.c_str()), true, 0, 0), 0);
    d.AddState(KWNDDLG_STATE_MOVABLE);
    Recorder behind;
    MakeControl(behind, m_main, 10, 10, 80, 60, 9);
    Frame();
    EXPECT_EQ(At(25, 25), 0);
    EXPECT_EQ(At(35, 25), kBackA);
    g_heard.clear();
    Drag({25, 25}, {45, 25});
    EXPECT_EQ(*d.GetRect(), (RECT{20, 20, 60, 50}));
    ASSERT_FALSE(g_heard.empty());
    EXPECT_EQ(g_heard[0].wnd, &behind);
    Drag({35, 25}, {45, 25});
    EXPECT_EQ(*d.GetRect(), (RECT{30, 20, 70, 50}));
    EXPECT_EQ(d.GetWidth(), 40);
    std::string missing = Path("missing.bmp");
    EXPECT_EQ(d.LoadBitmap(const_cast<char*>(missing.c_str()), false, 0, 0), E_FAIL);
    EXPECT_TRUE(Logged("KWndDlg::LoadBitmap(" + missing + ")"));
}

// The parent's router hits a window with children inside its client area
// first: the dialog's must not be the real window's one pixel at the corner.
TEST_F(DlgTest, TheParentsCornerPixelIsNotTheDialogs)
{
    KWndDlg d;
    Make(d, 50, 50, 40, 30, kBackA, true);
    Recorder inside;
    MakeChild(inside, d, 60, 60, 10, 10);
    Recorder corner;
    MakeControl(corner, m_main, 0, 0, 10, 10, 9);
    g_heard.clear();
    SendMessageA(m_hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 0));
    Pump();
    ASSERT_EQ(g_heard.size(), 1u);
    EXPECT_EQ(g_heard[0].wnd, &corner);
    EXPECT_FALSE(d.GetState() & KWNDDLG_STATE_DRAG);
}

// Made without a parent object, the dialog has nobody to hold its capture.
TEST_F(DlgTest, ADialogWithoutAParentDragsItselfOnly)
{
    KWndDlg d;
    d.SetGraph(m_graph);
    ASSERT_EQ(d.Create("alone", WS_POPUP, 0, 0, 40, 30, static_cast<KestrelWnd*>(NULL), 0), 0);
    d.AddState(KWNDDLG_STATE_MOVABLE);
    const HWND h = d.GetHandle();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(d.GetState() & KWNDDLG_STATE_DRAG);
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(8, 9));
    EXPECT_EQ(*d.GetRect(), (RECT{3, 4, 43, 34}));
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(8, 9));
    EXPECT_FALSE(d.GetState() & KWNDDLG_STATE_DRAG);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(h, KWM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(d.GetState() & KWNDDLG_STATE_DRAG);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    EXPECT_FALSE(d.GetState() & KWNDDLG_STATE_DRAG);
    EXPECT_EQ(*d.GetRect(), (RECT{3, 4, 43, 34}));
}

// Leaving the dialog ends a drag and tells the child under the mouse.
TEST_F(DlgTest, TheMouseLeavingEndsADragAndLeavesTheHoveredChild)
{
    KWndDlg d;
    Make(d, 20, 20, 60, 40, kBackA, true);
    Recorder child;
    MakeChild(child, d, 40, 30, 20, 10);
    Mouse(WM_MOUSEMOVE, 45, 35);  // over the child: the dialog's hover child
    Mouse(WM_LBUTTONDOWN, 25, 25);
    EXPECT_TRUE(d.GetState() & KWNDDLG_STATE_DRAG);
    g_heard.clear();
    SendMessageA(d.GetHandle(), KWM_MOUSELEAVE, 0, MAKELPARAM(150, 100));
    Pump();
    EXPECT_FALSE(d.GetState() & KWNDDLG_STATE_DRAG);
    EXPECT_EQ(g_heard, (std::vector<Heard>{{&child, KWM_MOUSELEAVE, 0, MAKELPARAM(150, 100)}}));
    // The capture went with the drag: a move elsewhere does not move it.
    Mouse(WM_MOUSEMOVE, 150, 100);
    EXPECT_EQ(*d.GetRect(), (RECT{20, 20, 80, 60}));
}

}  // namespace
