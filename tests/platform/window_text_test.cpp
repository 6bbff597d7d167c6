// Window text, coordinate conversion, mouse capture, and recorded sounds and
// shell requests.
#include "platform_fixture.h"

namespace {

using WindowTextTest = PlatformTest;

TEST_F(WindowTextTest, TextIsKeptAndReadBackThroughTheMessages)
{
    HWND w = MakeWindow(WS_POPUP, 0, 0, 50, 50);
    EXPECT_TRUE(SetWindowTextA(w, "caption 100%"));
    char buf[64];
    EXPECT_EQ(GetWindowTextA(w, buf, sizeof(buf)), 12);
    EXPECT_STREQ(buf, "caption 100%");
    EXPECT_EQ(GetWindowTextA(w, buf, 5), 4);
    EXPECT_STREQ(buf, "capt");
    EXPECT_EQ(GetWindowTextLengthA(w), 12);
    EXPECT_TRUE(SetWindowTextA(w, nullptr));
    EXPECT_EQ(GetWindowTextA(w, buf, sizeof(buf)), 0);
    EXPECT_FALSE(SetWindowTextA(reinterpret_cast<HWND>(uintptr_t(1)), "x"));
    EXPECT_EQ(GetWindowTextA(reinterpret_cast<HWND>(uintptr_t(1)), buf, 8), 0);
    EXPECT_STREQ(buf, "");
}

TEST_F(WindowTextTest, ClientAndScreenCoordinatesRoundTrip)
{
    HWND top = MakeWindow(WS_CAPTION | WS_VISIBLE, 100, 50, 200, 150);
    HWND child = CreateWindowExA(0, "TestWindow", "", WS_CHILD | WS_VISIBLE, 10, 20, 30, 30, top,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    POINT p = {1, 2};
    ASSERT_TRUE(ClientToScreen(child, &p));
    EXPECT_EQ(p.x, 100 + 3 + 10 + 1);
    EXPECT_EQ(p.y, 50 + 23 + 20 + 2);
    ASSERT_TRUE(ScreenToClient(top, &p));
    EXPECT_EQ(p.x, 11);
    EXPECT_EQ(p.y, 22);
    EXPECT_FALSE(ScreenToClient(nullptr, &p));
}

TEST_F(WindowTextTest, CaptureTakesTheMouseWhereverThePointerIs)
{
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 200, 100);
    HWND child = CreateWindowExA(0, "TestWindow", "", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, top,
                                 nullptr, nullptr, nullptr);
    EXPECT_EQ(SetCapture(child), nullptr);
    EXPECT_EQ(GetCapture(), child);
    ASSERT_TRUE(desktop::InjectMouse(top, WM_MOUSEMOVE, 150, 60));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, child);
    EXPECT_EQ(msg.lParam, MAKELPARAM(140, 50));
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_TRUE(desktop::InjectMouse(top, WM_MOUSEMOVE, 150, 60));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, top);
    SetCapture(child);
    DestroyWindow(child);  // a destroyed holder lets go
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowTextTest, SoundsAreRecordedInOrder)
{
    EXPECT_TRUE(PlaySoundA("sound\\click.wav", nullptr, SND_ASYNC | SND_NOWAIT));
    EXPECT_TRUE(PlaySoundA(nullptr, nullptr, 0));
    const std::vector<desktop::SoundRequest> s = desktop::TakeSounds();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].name, "sound\\click.wav");
    EXPECT_EQ(s[0].flags, DWORD(0x2001));
    EXPECT_EQ(s[1].name, "");
    EXPECT_TRUE(desktop::TakeSounds().empty());
    desktop::FailOnce("PlaySoundA");
    EXPECT_FALSE(PlaySoundA("x", nullptr, 0));
    EXPECT_TRUE(desktop::TakeSounds().empty());
}

// A launch answers above 32, as on Win32; a request without a file fails
// with a code below it and is not recorded.
TEST_F(WindowTextTest, ShellRequestsAreRecordedInOrder)
{
    HWND w = MakeWindow(WS_POPUP, 0, 0, 50, 50);
    const auto code = [](HINSTANCE h) { return reinterpret_cast<uintptr_t>(h); };
    EXPECT_GT(code(ShellExecuteA(nullptr, "open", "https://example.org/a?b=1", nullptr, nullptr,
                                 SW_SHOWMAXIMIZED)),
              32u);
    EXPECT_GT(code(ShellExecuteA(w, nullptr, "readme.txt", "-v", "C:\\games", SW_SHOW)), 32u);
    EXPECT_LE(code(ShellExecuteA(nullptr, "open", "", nullptr, nullptr, SW_SHOW)), 32u);
    EXPECT_LE(code(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, SW_SHOW)), 32u);
    desktop::FailOnce("ShellExecuteA");
    EXPECT_LE(code(ShellExecuteA(nullptr, "open", "x", nullptr, nullptr, SW_SHOW)), 32u);
    const std::vector<desktop::ShellRequest> r = desktop::TakeShellRequests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].hwnd, nullptr);
    EXPECT_EQ(r[0].operation, "open");
    EXPECT_EQ(r[0].file, "https://example.org/a?b=1");
    EXPECT_EQ(r[0].parameters, "");
    EXPECT_EQ(r[0].show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(r[1].hwnd, w);
    EXPECT_EQ(r[1].operation, "");
    EXPECT_EQ(r[1].parameters, "-v");
    EXPECT_EQ(r[1].directory, "C:\\games");
    EXPECT_TRUE(desktop::TakeShellRequests().empty());
    ShellExecuteA(nullptr, "open", "kept.html", nullptr, nullptr, SW_SHOW);
    desktop::Reset();  // forgets what was not taken
    EXPECT_TRUE(desktop::TakeShellRequests().empty());
}

}  // namespace
