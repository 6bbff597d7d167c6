// The window manager: child windows, destruction order, showing and
// activation, focus, painting, placement messages, the default procedure,
// cursors, icons and class data.
#include "platform_fixture.h"
#include <windowsx.h>

namespace {

struct Heard {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Heard& o) const
    {
        return hwnd == o.hwnd && msg == o.msg && wParam == o.wParam && lParam == o.lParam;
    }
};
std::vector<Heard> g_heard;
HWND g_focusSeenInSetFocus = nullptr;

LRESULT CALLBACK HeardProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_NCCREATE && msg != WM_CREATE)
        g_heard.push_back({hwnd, msg, wParam, lParam});
    if (msg == WM_SETFOCUS)
        g_focusSeenInSetFocus = GetFocus();
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class WindowManagerTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        g_heard.clear();
        WNDCLASSA wc = {};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = HeardProc;
        wc.lpszClassName = "Heard";
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    HWND Top(DWORD style = WS_POPUP, int x = 0, int y = 0, int w = 100, int h = 100)
    {
        return CreateWindowExA(0, "Heard", "", style, x, y, w, h, NULL, NULL, NULL, NULL);
    }
    HWND Child(HWND parent, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE)
    {
        return CreateWindowExA(0, "Heard", "", style, x, y, w, h, parent, NULL, NULL, NULL);
    }
    std::vector<UINT> HeardBy(HWND hwnd)
    {
        std::vector<UINT> out;
        for (const Heard& h : g_heard)
            if (h.hwnd == hwnd)
                out.push_back(h.msg);
        return out;
    }
};

TEST_F(WindowManagerTest, ChildWindowsLiveInTheParentsClientArea)
{
    HWND top = Top(WS_OVERLAPPEDWINDOW, 100, 50, 206, 126);  // client at (103, 73)
    HWND child = Child(top, 10, 20, 30, 40);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), top);
    RECT rc;
    ASSERT_TRUE(GetWindowRect(child, &rc));
    EXPECT_EQ(rc.left, 113);
    EXPECT_EQ(rc.top, 93);
    EXPECT_EQ(rc.right, 143);
    EXPECT_EQ(rc.bottom, 133);
    ASSERT_TRUE(GetClientRect(child, &rc));
    EXPECT_EQ(rc.right, 30);
    EXPECT_EQ(rc.bottom, 40);
    // A child has no surface of its own.
    EXPECT_EQ(desktop::SurfacePixels(child), nullptr);
    // Moving the parent carries the child along.
    MoveWindow(top, 0, 0, 206, 126, FALSE);
    ASSERT_TRUE(GetWindowRect(child, &rc));
    EXPECT_EQ(rc.left, 13);
    EXPECT_EQ(rc.top, 43);
    // A hidden parent hides its children.
    EXPECT_FALSE(IsWindowVisible(child));
    ShowWindow(top, SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(child));
}

TEST_F(WindowManagerTest, CreationSendsNothingAfterCreate)
{
    HWND top = Top(WS_POPUP | WS_VISIBLE);
    HWND child = Child(top, 0, 0, 1, 1);
    EXPECT_EQ(HeardBy(top), std::vector<UINT>{});
    EXPECT_EQ(HeardBy(child), std::vector<UINT>{});
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowManagerTest, DestroyTellsTheWindowFirstThenItsChildren)
{
    HWND top = Top();
    HWND a = Child(top, 0, 0, 1, 1);
    HWND a1 = Child(a, 0, 0, 1, 1);
    HWND b = Child(top, 0, 0, 1, 1);
    g_heard.clear();
    ASSERT_TRUE(DestroyWindow(top));
    const std::vector<Heard> expected = {
        {top, WM_DESTROY, 0, 0},  {a, WM_DESTROY, 0, 0},  {a1, WM_DESTROY, 0, 0},
        {a1, WM_NCDESTROY, 0, 0}, {a, WM_NCDESTROY, 0, 0}, {b, WM_DESTROY, 0, 0},
        {b, WM_NCDESTROY, 0, 0},  {top, WM_NCDESTROY, 0, 0}};
    EXPECT_EQ(g_heard, expected);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(a1));
    EXPECT_FALSE(IsWindow(b));
    // A child destroyed alone leaves its parent.
    HWND again = Top();
    HWND c = Child(again, 0, 0, 1, 1);
    EXPECT_TRUE(DestroyWindow(c));
    EXPECT_TRUE(IsWindow(again));
}

TEST_F(WindowManagerTest, ShowWindowActivatesTopLevelWindows)
{
    HWND a = Top();
    HWND b = Top();
    EXPECT_FALSE(ShowWindow(a, SW_SHOW));
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);  // DefWindowProcA gave it the focus
    g_heard.clear();
    EXPECT_TRUE(ShowWindow(a, SW_SHOW));  // already active: nothing sent
    EXPECT_EQ(g_heard, std::vector<Heard>{});

    ShowWindow(b, SW_SHOWNORMAL);
    const LPARAM la = reinterpret_cast<LPARAM>(a), lb = reinterpret_cast<LPARAM>(b);
    std::vector<Heard> activation;
    for (const Heard& h : g_heard)
        if (h.msg == WM_ACTIVATE)
            activation.push_back(h);
    EXPECT_EQ(activation, (std::vector<Heard>{{a, WM_ACTIVATE, WA_INACTIVE, lb},
                                              {b, WM_ACTIVATE, WA_ACTIVE, la}}));
    EXPECT_EQ(GetFocus(), b);

    // Minimising the active window deactivates it with the minimised flag
    // and drops its focus; restoring activates it again.
    g_heard.clear();
    ShowWindow(b, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(b));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(g_heard, (std::vector<Heard>{{b, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0},
                                           {b, WM_KILLFOCUS, 0, 0}}));
    g_heard.clear();
    ShowWindow(b, SW_RESTORE);
    EXPECT_FALSE(IsIconic(b));
    ASSERT_FALSE(g_heard.empty());
    EXPECT_EQ(g_heard[0], (Heard{b, WM_ACTIVATE, WA_ACTIVE, 0}));
    // Shown minimised and active: the flag rides along, the focus does not.
    g_heard.clear();
    ShowWindow(b, SW_SHOWMINIMIZED);
    EXPECT_EQ(g_heard, (std::vector<Heard>{{b, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0}}));

    // Children only change visibility; hiding deactivates.
    HWND child = Child(a, 0, 0, 5, 5, WS_CHILD);
    g_heard.clear();
    EXPECT_FALSE(ShowWindow(child, SW_SHOW));
    EXPECT_TRUE(ShowWindow(child, SW_HIDE));
    EXPECT_EQ(g_heard, std::vector<Heard>{});
    ShowWindow(a, SW_SHOW);
    g_heard.clear();
    EXPECT_TRUE(ShowWindow(a, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(a));
    EXPECT_EQ(HeardBy(a), (std::vector<UINT>{WM_ACTIVATE, WM_KILLFOCUS}));
    EXPECT_FALSE(ShowWindow(a, 99));
}

TEST_F(WindowManagerTest, SetFocusKillsThenSetsBeforeItReturns)
{
    HWND a = Top();
    HWND b = Top();
    EXPECT_EQ(SetFocus(a), nullptr);
    g_heard.clear();
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(g_heard, (std::vector<Heard>{{a, WM_KILLFOCUS, reinterpret_cast<WPARAM>(b), 0},
                                           {b, WM_SETFOCUS, reinterpret_cast<WPARAM>(a), 0}}));
    EXPECT_EQ(g_focusSeenInSetFocus, b);
    g_heard.clear();
    EXPECT_EQ(SetFocus(b), b);  // no change, no message
    EXPECT_EQ(g_heard, std::vector<Heard>{});
    EXPECT_EQ(SetFocus(reinterpret_cast<HWND>(uintptr_t(0x77))), nullptr);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_EQ(SetFocus(NULL), b);
    EXPECT_EQ(GetFocus(), nullptr);
    // The focus goes with its window.
    SetFocus(a);
    DestroyWindow(a);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowManagerTest, BeginPaintValidatesAndReportsWhatWasInvalid)
{
    HWND hwnd = Top(WS_POPUP);
    ShowWindow(hwnd, SW_SHOWNA);
    {
        MSG m;
        ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
        ASSERT_EQ(m.message, UINT(WM_PAINT));
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(ps.hdc, dc);
        EXPECT_EQ(ps.rcPaint.right, 100);
        EXPECT_EQ(ps.rcPaint.bottom, 100);
        EXPECT_TRUE(EndPaint(hwnd, &ps));
        EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    }
    RECT a = {10, 10, 20, 20}, b = {50, 5, 60, 15};
    InvalidateRect(hwnd, &a, FALSE);
    InvalidateRect(hwnd, &b, FALSE);
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.top, 5);
    EXPECT_EQ(ps.rcPaint.right, 60);
    EXPECT_EQ(ps.rcPaint.bottom, 20);
    EndPaint(hwnd, &ps);
    // A minimised window is not painted until restored.
    ShowWindow(hwnd, SW_MINIMIZE);
    InvalidateRect(hwnd, NULL, FALSE);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_TRUE(PeekMessageA(&m, NULL, WM_PAINT, WM_PAINT, PM_REMOVE));
    EXPECT_FALSE(InvalidateRect(NULL, NULL, FALSE));
    EXPECT_EQ(BeginPaint(hwnd, nullptr), nullptr);
}

TEST_F(WindowManagerTest, PlacementSendsMoveAndSizeWithSignedHalves)
{
    HWND top = Top(WS_POPUP, 10, 20, 100, 50);
    g_heard.clear();
    ASSERT_TRUE(MoveWindow(top, -5, -7, 200, 100, TRUE));
    EXPECT_EQ(g_heard,
              (std::vector<Heard>{{top, WM_MOVE, 0, MAKELPARAM(WORD(-5), WORD(-7))},
                                  {top, WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 100)}}));
    EXPECT_EQ(GET_X_LPARAM(g_heard[0].lParam), -5);
    EXPECT_EQ(GET_Y_LPARAM(g_heard[0].lParam), -7);
    g_heard.clear();
    ASSERT_TRUE(SetWindowPos(top, NULL, 0, 0, 200, 100, SWP_NOMOVE));  // nothing changes
    EXPECT_EQ(g_heard, std::vector<Heard>{});
    // A framed window reports its client area's origin.
    HWND framed = Top(WS_OVERLAPPEDWINDOW, 0, 0, 50, 50);
    g_heard.clear();
    MoveWindow(framed, 100, 100, 50, 50, TRUE);
    EXPECT_EQ(g_heard, (std::vector<Heard>{{framed, WM_MOVE, 0, MAKELPARAM(103, 123)}}));
    // A child in its parent's client coordinates.
    HWND child = Child(top, 1, 1, 1, 1);
    g_heard.clear();
    MoveWindow(child, 4, 6, 1, 1, FALSE);
    EXPECT_EQ(g_heard, (std::vector<Heard>{{child, WM_MOVE, 0, MAKELPARAM(4, 6)}}));
}

TEST_F(WindowManagerTest, DefaultProcedureDoesWhatWindowsRelyOn)
{
    HWND hwnd = Top(WS_POPUP | WS_VISIBLE);
    EXPECT_EQ(DefWindowProcA(hwnd, WM_NCCREATE, 0, 0), TRUE);
    // WM_PAINT validates.
    EXPECT_EQ(DefWindowProcA(hwnd, WM_PAINT, 0, 0), 0);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    // A double-byte character becomes its lead byte, then its trail byte.
    g_heard.clear();
    DefWindowProcA(hwnd, WM_IME_CHAR, 0xB0A1, 1);
    DefWindowProcA(hwnd, WM_IME_CHAR, 'x', 1);
    EXPECT_EQ(g_heard, (std::vector<Heard>{{hwnd, WM_CHAR, 0xB0, 1},
                                           {hwnd, WM_CHAR, 0xA1, 1},
                                           {hwnd, WM_CHAR, 'x', 1}}));
    // Activation without the minimised flag focuses; with it, or inactive, not.
    DefWindowProcA(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0);
    DefWindowProcA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(GetFocus(), nullptr);
    DefWindowProcA(hwnd, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(GetFocus(), hwnd);
    // WM_CLOSE destroys; anything else is left alone.
    EXPECT_EQ(DefWindowProcA(hwnd, WM_USER, 1, 2), 0);
    EXPECT_EQ(DefWindowProcA(hwnd, WM_DESTROY, 0, 0), 0);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowManagerTest, CursorsAndIconsHaveStableHandles)
{
    const HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    const HCURSOR hand = LoadCursorA(NULL, IDC_HAND);
    ASSERT_NE(arrow, nullptr);
    ASSERT_NE(hand, nullptr);
    EXPECT_NE(arrow, hand);
    EXPECT_EQ(LoadCursorA(NULL, IDC_ARROW), arrow);
    EXPECT_EQ(LoadCursorA(NULL, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(LoadCursorA(NULL, "ARROW"), nullptr);

    HINSTANCE module = reinterpret_cast<HINSTANCE>(uintptr_t(0x400000));
    EXPECT_EQ(LoadIconA(module, "APP_ICON"), nullptr);  // the module has none yet
    const BYTE icon[6] = {0, 0, 1, 0, 0, 0};
    ASSERT_TRUE(desktop::RegisterResource(module, RT_GROUP_ICON, "APP_ICON", icon, sizeof(icon)));
    const HICON app = LoadIconA(module, "APP_ICON");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(LoadIconA(module, "app_icon"), app);
    EXPECT_NE(LoadIconA(NULL, IDI_APPLICATION), nullptr);
    EXPECT_NE(LoadIconA(NULL, IDI_APPLICATION), app);
    desktop::ClearResources();

    EXPECT_EQ(SetCursor(hand), nullptr);
    EXPECT_EQ(GetCursor(), hand);
    EXPECT_EQ(desktop::CurrentCursor(), hand);
    EXPECT_EQ(SetCursor(arrow), hand);

    desktop::SetCursorPos(-4, 900);
    POINT pt;
    ASSERT_TRUE(GetCursorPos(&pt));
    EXPECT_EQ(pt.x, -4);
    EXPECT_EQ(pt.y, 900);
    EXPECT_FALSE(GetCursorPos(nullptr));
}

TEST_F(WindowManagerTest, ClassDataIsSharedAndPointerSized)
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = HeardProc;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = "Shared";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND a = CreateWindowExA(0, "Shared", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    HWND b = CreateWindowExA(0, "Shared", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    const HCURSOR hand = LoadCursorA(NULL, IDC_HAND);
    EXPECT_EQ(SetClassLongA(a, GCL_HCURSOR, reinterpret_cast<LONG_PTR>(hand)),
              reinterpret_cast<ULONG_PTR>(wc.hCursor));
    // The handle lies above 4 GiB and comes back whole, for every window of the class.
    EXPECT_GT(reinterpret_cast<uintptr_t>(hand), uintptr_t(0xFFFFFFFF));
    EXPECT_EQ(GetClassLongA(b, GCL_HCURSOR), reinterpret_cast<ULONG_PTR>(hand));
    EXPECT_EQ(GetClassLongA(a, GCL_STYLE), ULONG_PTR(CS_DBLCLKS));
    EXPECT_EQ(GetClassLongA(a, GCL_WNDPROC), reinterpret_cast<ULONG_PTR>(&HeardProc));
    EXPECT_EQ(GetClassLongA(NULL, GCL_HCURSOR), 0u);
    EXPECT_EQ(SetClassLongA(a, 12345, 1), 0u);
}

}  // namespace
