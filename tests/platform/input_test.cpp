// Input injected at a top-level window: where mouse, wheel, key and
// character messages land, what they carry, and scripted input in clock order.
#include "platform_fixture.h"
#include <windowsx.h>

namespace {

class InputTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        RegisterRecordingClass("TestWindow");
        m_top = CreateWindowExA(0, "TestWindow", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                206, 226, NULL, NULL, NULL, NULL);  // client 200 x 200 at (43, 63)
        ASSERT_NE(m_top, nullptr);
    }
    // The next input message, skipping painting.
    MSG Next()
    {
        MSG m = {};
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
            if (m.message != WM_PAINT)
                return m;
            else
                DispatchMessageA(&m);
        ADD_FAILURE() << "no message";
        return MSG{};
    }
    HWND m_top = nullptr;
};

TEST_F(InputTest, MouseCarriesClientCoordinatesAndTheButtonsHeld)
{
    ASSERT_TRUE(desktop::InjectMouse(m_top, WM_LBUTTONDOWN, 10, 20));
    MSG m = Next();
    EXPECT_EQ(m.hwnd, m_top);
    EXPECT_EQ(m.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(m.wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(m.lParam, MAKELPARAM(10, 20));
    EXPECT_EQ(m.pt.x, 53);
    EXPECT_EQ(m.pt.y, 83);

    desktop::InjectMouse(m_top, WM_RBUTTONDOWN, 11, 21);
    EXPECT_EQ(Next().wParam, WPARAM(MK_LBUTTON | MK_RBUTTON));
    desktop::InjectMouse(m_top, WM_LBUTTONUP, 11, 21);
    EXPECT_EQ(Next().wParam, WPARAM(MK_RBUTTON));
    desktop::InjectKey(m_top, WM_KEYDOWN, VK_SHIFT);
    Next();
    desktop::InjectMouse(m_top, WM_MOUSEMOVE, -3, 250);
    m = Next();
    EXPECT_EQ(m.wParam, WPARAM(MK_RBUTTON | MK_SHIFT));
    // Outside the client area the halves are signed 16-bit.
    EXPECT_EQ(GET_X_LPARAM(m.lParam), -3);
    EXPECT_EQ(GET_Y_LPARAM(m.lParam), 250);
    POINT pt;
    GetCursorPos(&pt);
    EXPECT_EQ(pt.x, 40);
    EXPECT_EQ(pt.y, 313);
}

TEST_F(InputTest, MouseLandsOnTheShownChildUnderThePoint)
{
    HWND child = CreateWindowExA(0, "TestWindow", "", WS_CHILD | WS_VISIBLE, 50, 60, 20, 10, m_top,
                                 NULL, NULL, NULL);
    HWND hidden = CreateWindowExA(0, "TestWindow", "", WS_CHILD, 0, 0, 200, 200, m_top, NULL, NULL,
                                  NULL);
    HWND disabled = CreateWindowExA(0, "TestWindow", "", WS_CHILD | WS_VISIBLE | WS_DISABLED, 100,
                                    100, 50, 50, m_top, NULL, NULL, NULL);
    ASSERT_NE(hidden, nullptr);
    ASSERT_NE(disabled, nullptr);
    desktop::InjectMouse(m_top, WM_MOUSEMOVE, 55, 65);
    MSG m = Next();
    EXPECT_EQ(m.hwnd, child);
    EXPECT_EQ(m.lParam, MAKELPARAM(5, 5));
    desktop::InjectMouse(m_top, WM_MOUSEMOVE, 110, 110);
    EXPECT_EQ(Next().hwnd, m_top);
    desktop::InjectMouse(m_top, WM_MOUSEMOVE, 70, 65);  // right edge is outside
    EXPECT_EQ(Next().hwnd, m_top);
    // Input goes to top-level windows only, and only mouse messages are mouse input.
    EXPECT_FALSE(desktop::InjectMouse(child, WM_MOUSEMOVE, 1, 1));
    EXPECT_FALSE(desktop::InjectMouse(m_top, WM_KEYDOWN, 1, 1));
    EXPECT_FALSE(desktop::InjectKey(m_top, WM_MOUSEMOVE, 'A'));
    EXPECT_FALSE(desktop::InjectChar(m_top, 0));
}

TEST_F(InputTest, KeysAndCharactersGoToTheFocusWindowInside)
{
    HWND child = CreateWindowExA(0, "TestWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, m_top,
                                 NULL, NULL, NULL);
    desktop::InjectKey(m_top, WM_KEYDOWN, 'A');
    MSG m = Next();
    EXPECT_EQ(m.hwnd, m_top);  // no focus: the window itself
    EXPECT_EQ(m.lParam, 1);
    SetFocus(child);
    desktop::InjectKey(m_top, WM_KEYDOWN, 'A');  // held: a repeat
    m = Next();
    EXPECT_EQ(m.hwnd, child);
    EXPECT_EQ(m.lParam, 1 | (LPARAM(1) << 30));
    desktop::InjectKey(m_top, WM_KEYUP, 'A');
    EXPECT_EQ(Next().lParam, 1 | (LPARAM(1) << 30) | (LPARAM(1) << 31));
    desktop::InjectChar(m_top, 'z');
    m = Next();
    EXPECT_EQ(m.message, UINT(WM_CHAR));
    EXPECT_EQ(m.wParam, WPARAM('z'));
    desktop::InjectChar(m_top, 0xB0A1);
    m = Next();
    EXPECT_EQ(m.message, UINT(WM_IME_CHAR));
    EXPECT_EQ(m.wParam, WPARAM(0xB0A1));
    EXPECT_EQ(m.hwnd, child);
}

TEST_F(InputTest, WheelTurnsForTheFocusWindowWithScreenCoordinates)
{
    HWND child = CreateWindowExA(0, "TestWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, m_top,
                                 NULL, NULL, NULL);
    SetFocus(child);
    desktop::InjectMouse(m_top, WM_LBUTTONDOWN, 5, 5);
    Next();
    ASSERT_TRUE(desktop::InjectWheel(m_top, 10, -20, -2 * WHEEL_DELTA));
    MSG m = Next();
    EXPECT_EQ(m.hwnd, child);
    EXPECT_EQ(m.message, UINT(WM_MOUSEWHEEL));
    EXPECT_EQ(short(HIWORD(m.wParam)), -240);
    EXPECT_EQ(LOWORD(m.wParam), MK_LBUTTON);
    EXPECT_EQ(GET_X_LPARAM(m.lParam), 53);  // the client area stands at (43, 63)
    EXPECT_EQ(GET_Y_LPARAM(m.lParam), 43);
    EXPECT_FALSE(desktop::InjectWheel(m_top, 0, 0, 0));
    EXPECT_FALSE(desktop::InjectWheel(m_top, 0, 0, 40000));
    EXPECT_FALSE(desktop::InjectWheel(child, 0, 0, WHEEL_DELTA));  // not a top-level window
}

TEST_F(InputTest, ScriptedInputHappensInClockOrder)
{
    desktop::UseManualClock(100);
    desktop::ScriptMouse(300, m_top, WM_LBUTTONUP, 1, 1);
    desktop::ScriptMouse(200, m_top, WM_LBUTTONDOWN, 1, 1);
    desktop::ScriptChar(200, m_top, 'a');  // same moment: after the click
    desktop::ScriptMouse(50, m_top, WM_MOUSEMOVE, 9, 9);  // already past: at once
    MSG m = Next();
    EXPECT_EQ(m.message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(m.time, 50u);
    EXPECT_EQ(desktop::PendingInput(), 3u);
    std::vector<UINT> order;
    while (order.size() < 3) {
        ASSERT_EQ(GetMessageA(&m, NULL, 0, 0), 1);
        if (m.message == WM_PAINT) {
            DispatchMessageA(&m);
            continue;
        }
        order.push_back(m.message);
        EXPECT_EQ(m.time, timeGetTime());
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_LBUTTONDOWN, WM_CHAR, WM_LBUTTONUP}));
    EXPECT_EQ(timeGetTime(), 300u);
    // Input scripted for a window that is gone never arrives.
    desktop::ScriptMouse(400, m_top, WM_MOUSEMOVE, 1, 1);
    DestroyWindow(m_top);
    EXPECT_EQ(desktop::PendingInput(), 0u);
}

}  // namespace
