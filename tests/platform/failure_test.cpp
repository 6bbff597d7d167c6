// Failure injection: an armed Win32 call fails once, as Win32 would, and the
// call after it works again.
#include "platform_fixture.h"
#include "paint_surface.h"

using FailureTest = PlatformTest;

namespace {

DWORD g_bits[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF};

int Present(HWND hwnd)
{
    return PaintSurface(hwnd, 2, 2, g_bits);
}

}  // namespace

TEST_F(FailureTest, RegisterAndUnregisterClass)
{
    desktop::FailOnce("RegisterClassA");
    EXPECT_EQ(RegisterRecordingClass("A"), 0);
    EXPECT_NE(RegisterRecordingClass("A"), 0);
    desktop::FailOnce("UnregisterClassA");
    EXPECT_FALSE(UnregisterClassA("A", NULL));
    EXPECT_TRUE(UnregisterClassA("A", NULL));
}

TEST_F(FailureTest, CreateAndDestroyWindow)
{
    RegisterRecordingClass("TestWindow");
    desktop::FailOnce("CreateWindowExA");
    g_messages = MessageLog();
    EXPECT_EQ(CreateWindowExA(0, "TestWindow", "", WS_POPUP, 0, 0, 4, 4, NULL, NULL, NULL, NULL),
              nullptr);
    EXPECT_TRUE(g_messages.messages.empty());  // no window was made
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 4, 4);
    ASSERT_NE(hwnd, nullptr);

    desktop::FailOnce("DestroyWindow");
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(DestroyWindow(hwnd));
}

TEST_F(FailureTest, WindowDataAndRectangles)
{
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, 0, 0, 100, 100);
    SetWindowLongA(hwnd, GWL_USERDATA, 9);
    RECT rc;

    desktop::FailOnce("GetWindowLongA");
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 9);
    desktop::FailOnce("SetWindowLongA");
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_USERDATA, 10), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 9);
    desktop::FailOnce("GetWindowLongPtrA");
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0);
    desktop::FailOnce("SetWindowLongPtrA");
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 10), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 9);

    desktop::FailOnce("GetClientRect");
    EXPECT_FALSE(GetClientRect(hwnd, &rc));
    EXPECT_TRUE(GetClientRect(hwnd, &rc));
    desktop::FailOnce("GetWindowRect");
    EXPECT_FALSE(GetWindowRect(hwnd, &rc));
    EXPECT_TRUE(GetWindowRect(hwnd, &rc));
    desktop::FailOnce("MoveWindow");
    EXPECT_FALSE(MoveWindow(hwnd, 5, 5, 50, 50, TRUE));
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.left, 0);
    desktop::FailOnce("SetWindowPos");
    EXPECT_FALSE(SetWindowPos(hwnd, NULL, 5, 5, 0, 0, SWP_NOSIZE));
    EXPECT_TRUE(SetWindowPos(hwnd, NULL, 5, 5, 0, 0, SWP_NOSIZE));

    RECT adjust = {0, 0, 10, 10};
    desktop::FailOnce("AdjustWindowRect");
    EXPECT_FALSE(AdjustWindowRect(&adjust, WS_CAPTION, FALSE));
    EXPECT_EQ(adjust.top, 0);
    desktop::FailOnce("AdjustWindowRectEx");
    EXPECT_FALSE(AdjustWindowRectEx(&adjust, WS_CAPTION, FALSE, 0));
    EXPECT_TRUE(AdjustWindowRectEx(&adjust, WS_CAPTION, FALSE, 0));
    EXPECT_EQ(adjust.top, -23);
}

TEST_F(FailureTest, DeviceContextsAndPresentation)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 2, 2);
    desktop::FailOnce("GetDC");
    EXPECT_EQ(GetDC(hwnd), nullptr);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    desktop::FailOnce("ReleaseDC");
    EXPECT_EQ(ReleaseDC(hwnd, dc), 0);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);

    desktop::FailOnce("SetDIBitsToDevice");
    EXPECT_EQ(Present(hwnd), 0);
    EXPECT_EQ(desktop::PresentCount(hwnd), 0);
    EXPECT_EQ(desktop::Pixel(hwnd, 0, 0), 0u);
    EXPECT_EQ(Present(hwnd), 2);
    EXPECT_EQ(desktop::PresentCount(hwnd), 1);
    EXPECT_EQ(desktop::Pixel(hwnd, 0, 0), 0x00FF0000u);
    EXPECT_EQ(desktop::Pixel(hwnd, 1, 1), 0x00FFFFFFu);
}

TEST_F(FailureTest, DisplaySettings)
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    desktop::FailOnce("EnumDisplaySettingsA");
    EXPECT_FALSE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_TRUE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode));
}

TEST_F(FailureTest, ArmingCountsAndClearing)
{
    desktop::FailOnce("GetDC");
    desktop::FailOnce("GetDC");
    EXPECT_EQ(GetDC(NULL), nullptr);
    EXPECT_EQ(GetDC(NULL), nullptr);
    HDC dc = GetDC(NULL);
    EXPECT_NE(dc, nullptr);
    ReleaseDC(NULL, dc);

    desktop::FailOnce("GetDC");
    desktop::ClearFailures();
    dc = GetDC(NULL);
    EXPECT_NE(dc, nullptr);
    ReleaseDC(NULL, dc);

    desktop::FailOnce("GetDC");
    desktop::Reset();
    dc = GetDC(NULL);
    EXPECT_NE(dc, nullptr);

    // Arming one call leaves the others alone.
    desktop::FailOnce("EnumDisplaySettingsA");
    EXPECT_NE(RegisterRecordingClass("Untouched"), 0);
    desktop::FailOnce(nullptr);
}
