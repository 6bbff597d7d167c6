// KestrelWnd's own handlers as real windows receive WM_SIZE, WM_MOVE,
// WM_ACTIVATE and WM_DESTROY from the window manager and the queue.
#include "kwnd_fixture.h"

#include <engine_access.h>

namespace {

using MessagesTest = WndTest;

// A control whose own WM_DESTROY handler lets KestrelWnd's run after it.
class Control : public KestrelWnd {
    KWND_DECLARE_MESSAGES()
public:
    int m_destroys = 0;
    int OnDestroyed(WPARAM, LPARAM)
    {
        m_destroys++;
        return 0;
    }
};

bool QuitWaiting(int* code = nullptr)
{
    MSG msg;
    if (!PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE))
        return false;
    if (code != nullptr)
        *code = int(msg.wParam);
    return true;
}

}  // namespace

KWND_BEGIN_MESSAGES(Control, KestrelWnd)
    KWND_MESSAGE(WM_DESTROY, Control::OnDestroyed)
KWND_END_MESSAGES()

namespace {

TEST_F(MessagesTest, SizeAndMoveChangeOnlyTheRectangle)
{
    KestrelWnd wnd;
    ASSERT_EQ(wnd.Create(KestrelWnd::m_ClassName, "w", WS_POPUP, 10, 20, 50, 50, (HWND)NULL, 0), 0);
    // Moved to where it is, resized to 200 x 100: WM_SIZE alone.
    ASSERT_TRUE(MoveWindow(wnd.GetHandle(), 10, 20, 200, 100, TRUE));
    EXPECT_EQ(*wnd.GetRect(), (RECT{10, 20, 210, 120}));
    EXPECT_EQ(*wnd.GetClientArea(), (RECT{10, 20, 60, 70}));

    // Both coordinates are signed 16-bit halves.
    ASSERT_TRUE(MoveWindow(wnd.GetHandle(), -5, 7, 200, 100, TRUE));
    EXPECT_EQ(*wnd.GetRect(), (RECT{-5, 7, 195, 107}));
    ASSERT_TRUE(MoveWindow(wnd.GetHandle(), -5, -7, 200, 100, TRUE));
    EXPECT_EQ(*wnd.GetRect(), (RECT{-5, -7, 195, 93}));
    EXPECT_EQ(*wnd.GetClientArea(), (RECT{10, 20, 60, 70}));

    // Through the queue too.
    PostMessageA(wnd.GetHandle(), WM_MOVE, 0, MAKELPARAM(WORD(-300), WORD(-2)));
    PostMessageA(wnd.GetHandle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(30, 40));
    Pump();
    EXPECT_EQ(*wnd.GetRect(), (RECT{-300, -2, -270, 38}));
}

TEST_F(MessagesTest, ActivationSetsTheActiveStateUnlessMinimised)
{
    KestrelMainWnd main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "m", WS_POPUP, 0, 0, 50, 50, (HWND)NULL, 0), 0);
    EXPECT_FALSE(main.IsActive());
    ::ShowWindow(main.GetHandle(), SW_SHOW);
    EXPECT_TRUE(main.IsActive());
    EXPECT_EQ(GetFocus(), main.GetHandle());  // the default procedure ran after -1
    ::ShowWindow(main.GetHandle(), SW_MINIMIZE);
    EXPECT_FALSE(main.IsActive());
    ::ShowWindow(main.GetHandle(), SW_RESTORE);
    EXPECT_TRUE(main.IsActive());
    // Deactivation without the minimised flag still counts as active.
    PostMessageA(main.GetHandle(), WM_ACTIVATE, WA_INACTIVE, 0);
    Pump();
    EXPECT_TRUE(main.IsActive());
    PostMessageA(main.GetHandle(), WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
    Pump();
    EXPECT_FALSE(main.IsActive());
    // Another window taking activation deactivates this one (not minimised).
    KestrelWnd other;
    ASSERT_EQ(other.Create(KestrelWnd::m_ClassName, "o", WS_POPUP, 0, 0, 5, 5, (HWND)NULL, 0), 0);
    ::ShowWindow(main.GetHandle(), SW_SHOW);
    main.SubState(KWND_STATE_ACTIVE);
    ::ShowWindow(other.GetHandle(), SW_SHOW);
    EXPECT_TRUE(main.IsActive());
    EXPECT_TRUE(other.IsActive());
}

TEST_F(MessagesTest, DestroyReachingAnyFrameworkWindowAsksToQuit)
{
    KestrelMainWnd main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "m", WS_POPUP, 0, 0, 50, 50, (HWND)NULL, 0), 0);
    Control control;
    MakeControl(control, main, 5, 5, 10, 10);
    // A control's own handler returns 0, so KestrelWnd's runs after it.
    ASSERT_TRUE(DestroyWindow(control.GetHandle()));
    EXPECT_EQ(control.m_destroys, 1);
    int code = -1;
    EXPECT_TRUE(QuitWaiting(&code));
    EXPECT_EQ(code, 0);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, NULL, 0, 0), 0);

    // The WM_DESTROY that Release posts finds no object.
    KestrelWnd released;
    ASSERT_EQ(released.Create(KestrelWnd::m_ClassName, "r", WS_POPUP, 0, 0, 5, 5, (HWND)NULL, 0), 0);
    released.Release();
    Pump();
    EXPECT_FALSE(QuitWaiting());

    // WM_CLOSE through the default procedure destroys the main window and
    // its control windows: each one that still has its object asks to quit.
    Control second;
    MakeControl(second, main, 5, 5, 10, 10, 2);
    PostMessageA(main.GetHandle(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(second.m_destroys, 1);
    EXPECT_TRUE(QuitWaiting());
    EXPECT_FALSE(IsWindow(main.GetHandle()));
}

TEST_F(MessagesTest, MainWindowMoveMakesTheDeviceRereadItsRectangles)
{
    KestrelMainWnd main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "m", WS_OVERLAPPEDWINDOW, 100, 100, 206, 126,
                          (HWND)NULL, 0),
              0);
    main.SetGraph(MakeGraph(main.GetHandle(), 200, 100));
    EXPECT_EQ(m_graph->GetScreenRect()->left, 100);
    ASSERT_TRUE(MoveWindow(main.GetHandle(), 40, 30, 206, 126, TRUE));
    EXPECT_EQ(*m_graph->GetScreenRect(), (RECT{40, 30, 246, 156}));
    // Then KestrelWnd's handler moved the rectangle to the client origin.
    EXPECT_EQ(main.GetRect()->left, 43);
    EXPECT_EQ(main.GetRect()->top, 53);
    EXPECT_EQ(main.GetWidth(), 206);
}

TEST_F(MessagesTest, PaintValidatesAndRecordsOneDrawingOfTheTree)
{
    KestrelMainWnd main;
    ASSERT_EQ(main.Create(KestrelWnd::m_ClassName, "m", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40,
                          (HWND)NULL, 0),
              0);
    main.SetGraph(MakeGraph(main.GetHandle(), 40, 40));
    KestrelWnd a, b;
    a.SetGraph(m_graph);
    b.SetGraph(m_graph);
    MakeControl(a, main, 0, 0, 20, 20, 1);
    MakeControl(b, main, 20, 20, 20, 20, 2);
    GiveBack(a, 20, 20, 0xF800);
    GiveBack(b, 20, 20, 0x07E0);
    ASSERT_EQ(main.Render(NULL), 0);
    const int presented = desktop::PresentCount(main.GetHandle());
    EXPECT_EQ(Presented(main.GetHandle(), 5, 5), 0xF800);

    // The window needs painting: the handler presents the back screen where
    // asked (the whole window here), validates and records one drawing,
    // which is presented with the next Render.
    InvalidateRect(main.GetHandle(), NULL, FALSE);
    Pump();
    const auto recorded = KRenderEngineAccess::Recorded(m_graph->GetRenderEngine());
    ASSERT_EQ(recorded.size(), 2u);  // the two backs, in drawing order
    EXPECT_EQ(recorded[0].src, a.GetBackSpr()->GetData());
    EXPECT_EQ(recorded[1].src, b.GetBackSpr()->GetData());
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_EQ(desktop::PresentCount(main.GetHandle()), presented + 1);
    // The recorded drawing is replayed with the next frame's, and what it
    // redrew is presented: b's changed back, and a's drawn twice this frame.
    b.GetBackSpr()->_clear(0x001F);
    b.GetBackSpr()->Updata();
    ASSERT_EQ(main.Render(NULL), 0);
    EXPECT_EQ(desktop::PresentCount(main.GetHandle()), presented + 2);
    EXPECT_EQ(Presented(main.GetHandle(), 25, 25), 0x001F);
}

}  // namespace
