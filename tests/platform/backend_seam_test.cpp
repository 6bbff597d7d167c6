// The display-backend seam, headless: what the Win32 calls tell a backend
// (a recording one here) about top-level windows, presentation, cursor,
// sounds and links, and how waiting goes through it.
#include "platform_fixture.h"

#include <desktop/backend.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace {

class RecordingBackend : public desktop::Backend {
public:
    std::vector<std::string> calls;
    int waits = 0;
    DWORD lastTimeout = 0;

    void WindowCreated(HWND, const char* title, const RECT& c, bool visible,
                       bool minimized) override
    {
        Note() << "created " << title << " " << Rect(c) << (visible ? " shown" : " hidden")
               << (minimized ? " min" : "");
    }
    void WindowPlaced(HWND, const RECT& c) override { Note() << "placed " << Rect(c); }
    void WindowShown(HWND, bool visible, bool minimized) override
    {
        Note() << "shown " << visible << minimized;
    }
    void WindowTitle(HWND, const char* title) override { Note() << "title " << title; }
    void WindowDestroyed(HWND) override { Note() << "destroyed"; }
    void Present(HWND, const DWORD* pixels, int w, int h, const RECT& r) override
    {
        // The surface already holds the presented pixels.
        Note() << "present " << w << "x" << h << " " << Rect(r) << " " << std::hex
               << pixels[r.top * w + r.left];
    }
    bool OnDisplayThread() override { return true; }
    void Pump() override {}
    void Wait(DWORD timeoutMs) override
    {
        ++waits;
        lastTimeout = timeoutMs;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<DWORD>(timeoutMs, 5)));
    }
    void Wake() override {}
    void ShowCursor(UINT id) override { Note() << "cursor " << id; }
    bool CursorPos(POINT& pt) override
    {
        pt = POINT{7, 9};
        return true;
    }
    BOOL PlayWave(const char* file, DWORD flags) override
    {
        Note() << "sound " << (file ? file : "(null)") << " " << flags;
        return TRUE;
    }
    INT_PTR OpenLink(const char* target) override
    {
        Note() << "open " << target;
        return 33;
    }

private:
    struct Line {
        RecordingBackend* owner;
        std::ostringstream out;
        ~Line() { owner->calls.push_back(out.str()); }
        template <typename T> Line& operator<<(const T& v)
        {
            out << v;
            return *this;
        }
    };
    Line Note() { return Line{this, {}}; }
    static std::string Rect(const RECT& r)
    {
        std::ostringstream out;
        out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        return out.str();
    }
};

class BackendSeamTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "seam";
        RegisterClassA(&wc);
        desktop::UseBackend(&m_backend);
    }
    void TearDown() override
    {
        desktop::UseBackend(nullptr);
        PlatformTest::TearDown();
    }
    RecordingBackend m_backend;
};

TEST_F(BackendSeamTest, TopLevelWindowsAndPresentationReachTheBackend)
{
    HWND top = CreateWindowExA(0, "seam", "game", WS_POPUP | WS_VISIBLE, 10, 20, 64, 48, NULL,
                               NULL, NULL, NULL);
    HWND child = CreateWindowExA(0, "seam", "kid", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, top, NULL,
                                 NULL, NULL);
    ShowWindow(child, SW_HIDE);  // children stay inside their window: nothing
    MoveWindow(top, 30, 40, 80, 50, FALSE);
    SetWindowTextA(top, "renamed");
    ShowWindow(top, SW_MINIMIZE);
    ShowWindow(top, SW_RESTORE);
    const WORD pixels[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 2;
    bmi.bmiHeader.biHeight = -2;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 16;
    HDC dc = GetDC(top);
    EXPECT_EQ(SetDIBitsToDevice(dc, 78, 3, 2, 2, 0, 0, 0, 2, pixels, &bmi, DIB_RGB_COLORS), 2);
    ReleaseDC(top, dc);
    DestroyWindow(child);
    DestroyWindow(top);
    HWND again = CreateWindowExA(0, "seam", "gone", WS_POPUP, 0, 0, 8, 8, NULL, NULL, NULL, NULL);
    ASSERT_NE(again, nullptr);
    desktop::Reset();  // tells of the windows it drops
    const std::vector<std::string> expected = {
        "created game 10,20,74,68 shown", "placed 30,40,110,90", "title renamed",
        "shown 11",                       "shown 10",
        // Clipped to the 80 x 50 surface: one column lands (BI_RGB is 555:
        // 0xF800 holds red 30).
        "present 80x50 78,3,80,5 f70000", "destroyed", "created gone 0,0,8,8 hidden",
        "destroyed"};
    EXPECT_EQ(m_backend.calls, expected);
}

TEST_F(BackendSeamTest, CursorSoundAndLinksGoThroughTheBackend)
{
    EXPECT_EQ(SetCursor(LoadCursorA(NULL, IDC_HAND)), nullptr);
    SetCursor(NULL);
    POINT pt = {};
    ASSERT_TRUE(GetCursorPos(&pt));
    EXPECT_EQ(pt.x, 7);
    EXPECT_TRUE(PlaySoundA("a\\b.wav", NULL, SND_ASYNC | SND_NOWAIT));
    EXPECT_FALSE(PlaySoundA(MAKEINTRESOURCEA(5), NULL, SND_RESOURCE));  // no resources here
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, "open", "x.png", NULL, NULL, 1)), 33);
    // The opener knows no other verb; the request is recorded all the same.
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, "print", "x.png", NULL, NULL, 1)),
              INT_PTR(SE_ERR_NOASSOC));
    EXPECT_EQ(desktop::TakeShellRequests().size(), 2u);
    const std::vector<std::string> expected = {"cursor 32649", "cursor 0", "sound a\\b.wav 8193",
                                               "open x.png"};
    EXPECT_EQ(m_backend.calls, expected);
    EXPECT_EQ(desktop::TakeSounds().size(), 2u);  // still recorded
}

TEST_F(BackendSeamTest, WaitingWaitsInTheBackendUntilTheNextTimer)
{
    HWND top = CreateWindowExA(0, "seam", "t", WS_POPUP, 0, 0, 8, 8, NULL, NULL, NULL, NULL);
    SetTimer(top, 1, 300, NULL);  // long enough to be waited for on a loaded machine
    MSG m;
    ASSERT_EQ(GetMessageA(&m, NULL, WM_TIMER, WM_TIMER), TRUE);
    EXPECT_EQ(m.message, UINT(WM_TIMER));
    EXPECT_GE(m_backend.waits, 1);
    EXPECT_LE(m_backend.lastTimeout, 300u);
}

}  // namespace
