// Window classes and top-level windows: registration, creation messages,
// window data and rectangles.
#include "platform_fixture.h"

using WindowClassTest = PlatformTest;
using WindowTest = PlatformTest;

TEST_F(WindowClassTest, NamesCompareWithoutCaseAndRegisterOnce)
{
    const ATOM atom = RegisterRecordingClass("KestrelWindow");
    EXPECT_GE(atom, 0xC000);
    EXPECT_EQ(RegisterRecordingClass("KestrelWindow"), 0);
    EXPECT_EQ(RegisterRecordingClass("KESTRELWINDOW"), 0);
    EXPECT_NE(RegisterRecordingClass("OtherWindow"), 0);

    HWND hwnd = CreateWindowExA(0, "kestrelwindow", "t", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                NULL, NULL);
    ASSERT_NE(hwnd, nullptr);
    // A window can also name its class by atom.
    EXPECT_NE(CreateWindowExA(0, MAKEINTATOM(atom), "t", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                              NULL, NULL),
              nullptr);
}

TEST_F(WindowClassTest, RejectsIncompleteClasses)
{
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    WNDCLASSA wc = {};
    wc.lpszClassName = "NoProcedure";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    wc.lpszClassName = nullptr;
    EXPECT_EQ(RegisterClassA(&wc), 0);
}

TEST_F(WindowClassTest, UnregisterOnlyWithoutWindows)
{
    RegisterRecordingClass("Gone");
    HWND hwnd = CreateWindowExA(0, "Gone", "", WS_POPUP, 0, 0, 4, 4, NULL, NULL, NULL, NULL);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(UnregisterClassA("GONE", NULL));
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_TRUE(UnregisterClassA("GONE", NULL));
    EXPECT_FALSE(UnregisterClassA("Gone", NULL));
    EXPECT_EQ(CreateWindowExA(0, "Gone", "", WS_POPUP, 0, 0, 4, 4, NULL, NULL, NULL, NULL), nullptr);
    EXPECT_NE(RegisterRecordingClass("Gone"), 0);
}

TEST_F(WindowTest, CreationSendsNcCreateThenCreateWithTheHandle)
{
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 10, 20, 300, 200);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(g_messages.messages, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    EXPECT_EQ(g_messages.windows, (std::vector<HWND>{hwnd, hwnd}));
    const CREATESTRUCTA& cs = g_messages.lastCreate;
    EXPECT_EQ(cs.x, 10);
    EXPECT_EQ(cs.y, 20);
    EXPECT_EQ(cs.cx, 300);
    EXPECT_EQ(cs.cy, 200);
    EXPECT_STREQ(cs.lpszName, "test");
    EXPECT_STREQ(cs.lpszClass, "TestWindow");
    EXPECT_EQ(DWORD(cs.style), DWORD(WS_POPUP | WS_VISIBLE));
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowTest, CreateParamsReachTheProcedure)
{
    RegisterRecordingClass("TestWindow");
    int marker = 0;
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "TestWindow", "x", WS_POPUP, 0, 0, 5, 5, NULL,
                                reinterpret_cast<HMENU>(7), NULL, &marker);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(g_messages.lastCreate.lpCreateParams, &marker);
    EXPECT_EQ(g_messages.lastCreate.dwExStyle, DWORD(WS_EX_TOPMOST));
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_ID), 7);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE), WS_EX_TOPMOST);
}

TEST_F(WindowTest, UnknownClassFails)
{
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL,
                              NULL),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, nullptr, "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, MAKEINTATOM(0xC123), "", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                              NULL, NULL),
              nullptr);
}

TEST_F(WindowTest, CreateAnsweringMinusOneDestroysTheWindow)
{
    RegisterRecordingClass("TestWindow");
    g_messages = MessageLog();
    g_messages.createResult = -1;
    HWND hwnd = CreateWindowExA(0, "TestWindow", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL,
                                NULL);
    EXPECT_EQ(hwnd, nullptr);
    ASSERT_EQ(g_messages.messages,
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(g_messages.windows[0]));
    // The class has no window left.
    EXPECT_TRUE(UnregisterClassA("TestWindow", NULL));
}

TEST_F(WindowTest, NcCreateAnsweringFalseFailsCreation)
{
    RegisterRecordingClass("TestWindow");
    g_messages = MessageLog();
    g_messages.ncCreateResult = FALSE;
    EXPECT_EQ(CreateWindowExA(0, "TestWindow", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL),
              nullptr);
    EXPECT_EQ(g_messages.messages, (std::vector<UINT>{WM_NCCREATE, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(g_messages.windows[0]));
}

TEST_F(WindowTest, DestroySendsDestroyAndInvalidatesTheHandle)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    ASSERT_NE(hwnd, nullptr);
    g_messages.messages.clear();
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(g_messages.messages, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    EXPECT_FALSE(IsWindow(nullptr));
}

TEST_F(WindowTest, DestroyingAnOwnerDestroysTheWindowsItOwns)
{
    HWND owner = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    HWND owned = CreateWindowExA(0, "TestWindow", "", WS_POPUP, 0, 0, 5, 5, owner, NULL, NULL,
                                 NULL);
    ASSERT_NE(owned, nullptr);
    g_messages = MessageLog();
    EXPECT_TRUE(DestroyWindow(owner));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_EQ(g_messages.windows, (std::vector<HWND>{owned, owned, owner, owner}));
    EXPECT_EQ(g_messages.messages,
              (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowTest, HandlesStayInvalidAfterReset)
{
    HWND before = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    desktop::Reset();
    EXPECT_FALSE(IsWindow(before));
    HWND after = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    EXPECT_NE(after, before);
    EXPECT_FALSE(IsWindow(before));
    // Handles lie above 4 GiB: one cut to 32 bits names nothing.
    EXPECT_GT(reinterpret_cast<uintptr_t>(after), uintptr_t(0xFFFFFFFF));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(after) & 0xFFFFFFFF)));
}

LRESULT CALLBACK AnswerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_USER + 1)
        return LRESULT(wParam) + lParam;
    if (msg == WM_USER + 2)  // sent messages re-enter at once
        return SendMessageA(hwnd, WM_USER + 1, wParam, lParam) * 2;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, SendMessageRunsTheProcedureAtOnceAndReentrantly)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = AnswerProc;
    wc.lpszClassName = "Answer";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, "Answer", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 40, 2), 42);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 2, 40, 2), 84);
    EXPECT_EQ(DefWindowProcA(hwnd, WM_NCCREATE, 0, 0), TRUE);
    EXPECT_EQ(DefWindowProcA(hwnd, WM_PAINT, 0, 0), 0);
}

TEST_F(WindowTest, UserDataKeepsA64BitPointer)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 0);
    const LONG_PTR high = LONG_PTR(0x00007F12345678A0LL);
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_USERDATA, high), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), high);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), high);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 5), high);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 5);
}

TEST_F(WindowTest, StyleProcedureAndParentData)
{
    HWND owner = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    HWND hwnd = CreateWindowExA(0, "TestWindow", "", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, owner,
                                NULL, NULL, NULL);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetParent(hwnd), owner);
    EXPECT_EQ(GetParent(owner), nullptr);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE), LONG_PTR(WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(GetWindowLongA(owner, GWL_STYLE), LONG_PTR(WS_POPUP));  // zero-extended
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
    EXPECT_EQ(GetWindowLongA(hwnd, 12345), 0);
    EXPECT_EQ(GetWindowLongA(nullptr, GWL_USERDATA), 0);

    // A replaced procedure gets the next messages.
    SetWindowLongA(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&AnswerProc));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 1, 2), 3);
}

TEST_F(WindowTest, ParentMustBeAWindow)
{
    HWND parent = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    EXPECT_EQ(CreateWindowExA(0, "TestWindow", "", WS_POPUP, 0, 0, 5, 5,
                              reinterpret_cast<HWND>(uintptr_t(0x1234)), NULL, NULL, NULL),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, "TestWindow", "", WS_CHILD, 0, 0, 5, 5,
                              reinterpret_cast<HWND>(uintptr_t(0x1234)), NULL, NULL, NULL),
              nullptr);
    HWND child = CreateWindowExA(0, "TestWindow", "", WS_CHILD, 0, 0, 5, 5, parent, NULL, NULL, NULL);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), parent);
}

TEST_F(WindowTest, FramelessClientEqualsWindow)
{
    HWND hwnd = MakeWindow(WS_POPUP, 30, 40, 320, 240);
    RECT window, client;
    ASSERT_TRUE(GetWindowRect(hwnd, &window));
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(window.left, 30);
    EXPECT_EQ(window.top, 40);
    EXPECT_EQ(window.right, 350);
    EXPECT_EQ(window.bottom, 280);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);
    EXPECT_EQ(desktop::SurfaceWidth(hwnd), 320);
    EXPECT_EQ(desktop::SurfaceHeight(hwnd), 240);
}

TEST_F(WindowTest, CaptionFrameTakesThreePixelsAndTwentyThreeOnTop)
{
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 646, 506);
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    EXPECT_EQ(desktop::SurfaceWidth(hwnd), 640);
    EXPECT_EQ(desktop::SurfaceHeight(hwnd), 480);

    // WS_BORDER alone (half of WS_CAPTION) has no frame.
    HWND bordered = MakeWindow(WS_POPUP | WS_BORDER, 0, 0, 100, 100);
    ASSERT_TRUE(GetClientRect(bordered, &client));
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 100);

    // Smaller than its frame: an empty client area.
    HWND tiny = MakeWindow(WS_CAPTION, 0, 0, 4, 10);
    ASSERT_TRUE(GetClientRect(tiny, &client));
    EXPECT_EQ(client.right, 0);
    EXPECT_EQ(client.bottom, 0);
    EXPECT_EQ(desktop::SurfacePixels(tiny), nullptr);
}

TEST_F(WindowTest, AdjustWindowRectMatchesTheFrame)
{
    RECT rc = {10, 20, 650, 500};
    ASSERT_TRUE(AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE));
    EXPECT_EQ(rc.left, 7);
    EXPECT_EQ(rc.top, -3);
    EXPECT_EQ(rc.right, 653);
    EXPECT_EQ(rc.bottom, 503);

    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, rc.left, rc.top, rc.right - rc.left,
                           rc.bottom - rc.top);
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);

    RECT same = {1, 2, 3, 4};
    ASSERT_TRUE(AdjustWindowRectEx(&same, WS_POPUP, FALSE, WS_EX_CLIENTEDGE));
    EXPECT_EQ(same.left, 1);
    EXPECT_EQ(same.bottom, 4);
    EXPECT_FALSE(AdjustWindowRect(nullptr, WS_CAPTION, FALSE));
}

TEST_F(WindowTest, DefaultPositionAndSize)
{
    HWND hwnd = MakeWindow(WS_POPUP, CW_USEDEFAULT, 5, CW_USEDEFAULT, 7);
    RECT window;
    ASSERT_TRUE(GetWindowRect(hwnd, &window));
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, 800);
    EXPECT_EQ(window.bottom, 600);

    HWND negative = MakeWindow(WS_POPUP, 5, 5, -10, -20);
    ASSERT_TRUE(GetWindowRect(negative, &window));
    EXPECT_EQ(window.right, 5);
    EXPECT_EQ(window.bottom, 5);
}

TEST_F(WindowTest, OversizedSurfaceFailsCreation)
{
    EXPECT_EQ(MakeWindow(WS_POPUP, 0, 0, 100000, 100000), nullptr);
    EXPECT_TRUE(g_messages.messages.empty());
}

TEST_F(WindowTest, ResizeKeepsTheOverlappingPixels)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 4, 3);
    ASSERT_NE(hwnd, nullptr);
    // Fill the surface: pixel (x, y) = y * 16 + x + 1.
    DWORD rows[3][4];
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            rows[y][x] = DWORD(y * 16 + x + 1);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 4;
    bmi.bmiHeader.biHeight = -3;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(hwnd);
    ASSERT_EQ(SetDIBitsToDevice(dc, 0, 0, 4, 3, 0, 0, 0, 3, rows, &bmi, DIB_RGB_COLORS), 3);
    ReleaseDC(hwnd, dc);

    ASSERT_TRUE(MoveWindow(hwnd, 9, 8, 6, 2, TRUE));
    RECT window;
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.left, 9);
    EXPECT_EQ(window.top, 8);
    ASSERT_EQ(desktop::SurfaceWidth(hwnd), 6);
    ASSERT_EQ(desktop::SurfaceHeight(hwnd), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(desktop::Pixel(hwnd, x, y), DWORD(y * 16 + x + 1));
        EXPECT_EQ(desktop::Pixel(hwnd, 4, y), 0u);
        EXPECT_EQ(desktop::Pixel(hwnd, 5, y), 0u);
    }

    // SetWindowPos with SWP_NOMOVE only resizes.
    ASSERT_TRUE(SetWindowPos(hwnd, NULL, 0, 0, 2, 5, SWP_NOMOVE | SWP_NOZORDER));
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.left, 9);
    EXPECT_EQ(window.right, 11);
    EXPECT_EQ(window.bottom, 13);
    EXPECT_EQ(desktop::Pixel(hwnd, 1, 1), DWORD(16 + 2));
    EXPECT_EQ(desktop::Pixel(hwnd, 1, 2), 0u);
    // SWP_NOSIZE only moves.
    ASSERT_TRUE(SetWindowPos(hwnd, NULL, -3, -4, 0, 0, SWP_NOSIZE));
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.left, -3);
    EXPECT_EQ(window.top, -4);
    EXPECT_EQ(window.right, -1);
    EXPECT_EQ(window.bottom, 1);
    EXPECT_FALSE(MoveWindow(nullptr, 0, 0, 1, 1, TRUE));
    EXPECT_FALSE(MoveWindow(hwnd, 0, 0, 100000, 10, TRUE));
    EXPECT_EQ(desktop::SurfaceWidth(hwnd), 2);
}

TEST_F(WindowTest, RectQueriesFailForUnknownWindowsAndNullRects)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 10, 10);
    RECT rc;
    EXPECT_FALSE(GetClientRect(nullptr, &rc));
    EXPECT_FALSE(GetWindowRect(nullptr, &rc));
    EXPECT_FALSE(GetClientRect(hwnd, nullptr));
    EXPECT_FALSE(GetWindowRect(hwnd, nullptr));
}
