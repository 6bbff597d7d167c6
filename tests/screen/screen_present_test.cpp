// Presenting on the screen: what reaches the display equals what the
// headless desktop keeps for the same frame, for every layout of rows
// SetDIBitsToDevice takes, whole and as one changed rectangle.
#include "screen_fixture.h"

#include <desktop/backend.h>

#include <algorithm>

namespace {

struct DibHeader {
    BITMAPINFOHEADER h;
    DWORD masks[3];
};

struct Layout {
    const char* name;
    int bitCount;
    DWORD compression;
    DWORD r, g, b;
    bool topDown;
};

const Layout kLayouts[] = {
    {"565 top-down", 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F, true},
    {"565 bottom-up", 16, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F, false},
    {"555 bottom-up", 16, BI_RGB, 0, 0, 0, false},
    {"444 top-down", 16, BI_BITFIELDS, 0x0F00, 0x00F0, 0x000F, true},
    {"24 bottom-up", 24, BI_RGB, 0, 0, 0, false},
    {"32 top-down", 32, BI_RGB, 0, 0, 0, true},
};

const int kW = 120, kH = 80;

// A frame of pseudo-random bytes in the layout, `seed` choosing which.
struct Frame {
    DibHeader info = {};
    std::vector<BYTE> bits;
};

Frame MakeFrame(const Layout& l, uint32_t seed)
{
    Frame f;
    f.info.h.biSize = sizeof(BITMAPINFOHEADER);
    f.info.h.biWidth = kW;
    f.info.h.biHeight = l.topDown ? -kH : kH;
    f.info.h.biPlanes = 1;
    f.info.h.biBitCount = WORD(l.bitCount);
    f.info.h.biCompression = l.compression;
    f.info.masks[0] = l.r;
    f.info.masks[1] = l.g;
    f.info.masks[2] = l.b;
    f.bits.resize(size_t((kW * l.bitCount + 31) / 32 * 4) * kH);
    for (BYTE& b : f.bits) {
        seed = seed * 1664525u + 1013904223u;
        b = BYTE(seed >> 24);
    }
    return f;
}

// The whole frame, then a rectangle of a second frame over it.
void PresentBoth(HWND hwnd, const Frame& a, const Frame& b)
{
    HDC dc = GetDC(hwnd);
    const BITMAPINFO* ia = reinterpret_cast<const BITMAPINFO*>(&a.info);
    const BITMAPINFO* ib = reinterpret_cast<const BITMAPINFO*>(&b.info);
    SetDIBitsToDevice(dc, 0, 0, kW, kH, 0, 0, 0, kH, a.bits.data(), ia, DIB_RGB_COLORS);
    SetDIBitsToDevice(dc, 30, 20, 50, 40, 30, 20, 0, kH, b.bits.data(), ib, DIB_RGB_COLORS);
    ReleaseDC(hwnd, dc);
}

HWND MakePopup(int x, int y)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "screen-test";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "screen-test", "frame", WS_POPUP | WS_VISIBLE, x, y, kW, kH,
                           nullptr, nullptr, nullptr, nullptr);
}

class ScreenPresentTest : public ScreenTest {
protected:
    // Pumps until the screen shows `expected` at (50, 60), or gives up, and
    // names the first pixel that differs.
    void ExpectScreenShows(const std::vector<DWORD>& expected)
    {
        std::vector<DWORD> seen;
        for (int tries = 0; tries < 100 && seen != expected; ++tries) {
            Pump(20);
            seen = ReadScreen(50, 60, kW, kH);
        }
        ASSERT_EQ(seen.size(), expected.size());
        const auto first = std::mismatch(seen.begin(), seen.end(), expected.begin());
        EXPECT_TRUE(first.first == seen.end())
            << "pixel " << (first.first - seen.begin()) << " is " << std::hex << *first.first
            << ", the desktop's " << *first.second;
    }
};

TEST_F(ScreenPresentTest, ScreenShowsTheHeadlessPixelsOfEveryLayout)
{
    for (const Layout& l : kLayouts) {
        SCOPED_TRACE(l.name);
        const Frame a = MakeFrame(l, 1), b = MakeFrame(l, 2);

        // The headless desktop's pixels for the frames.
        desktop::Backend* shown = desktop::CurrentBackend();
        desktop::UseBackend(nullptr);
        const HWND headless = MakePopup(0, 0);
        PresentBoth(headless, a, b);
        const DWORD* surface = desktop::SurfacePixels(headless);
        ASSERT_NE(surface, nullptr);
        const std::vector<DWORD> expected(surface, surface + kW * kH);
        DestroyWindow(headless);
        desktop::UseBackend(shown);

        const HWND hwnd = MakePopup(50, 60);
        Pump(50);
        PresentBoth(hwnd, a, b);
        ExpectScreenShows(expected);
        EXPECT_EQ(desktop::PresentCount(hwnd), 2);
        DestroyWindow(hwnd);
    }
}

// A frame presented as several rectangles, one copy each (as a compared
// frame presents what it redrew), shows on the screen the pixels the
// desktop keeps: the rectangles of the new frame over the old one, and the
// old one everywhere else.
TEST_F(ScreenPresentTest, FrameOfSeveralRectanglesShowsEachOfThem)
{
    const Frame a = MakeFrame(kLayouts[0], 5), b = MakeFrame(kLayouts[0], 6);
    const RECT rects[] = {{0, 0, 7, 5}, {30, 10, 90, 11}, {100, 60, 120, 80}, {50, 40, 51, 70}};
    auto present = [&](HWND hwnd) {
        HDC dc = GetDC(hwnd);
        const BITMAPINFO* ia = reinterpret_cast<const BITMAPINFO*>(&a.info);
        const BITMAPINFO* ib = reinterpret_cast<const BITMAPINFO*>(&b.info);
        SetDIBitsToDevice(dc, 0, 0, kW, kH, 0, 0, 0, kH, a.bits.data(), ia, DIB_RGB_COLORS);
        ReleaseDC(hwnd, dc);
        dc = GetDC(hwnd);
        for (const RECT& r : rects)
            SetDIBitsToDevice(dc, r.left, r.top, DWORD(r.right - r.left), DWORD(r.bottom - r.top),
                              r.left, r.top, 0, kH, b.bits.data(), ib, DIB_RGB_COLORS);
        ReleaseDC(hwnd, dc);
    };
    desktop::Backend* shown = desktop::CurrentBackend();
    desktop::UseBackend(nullptr);
    const HWND headless = MakePopup(0, 0);
    present(headless);
    const DWORD* surface = desktop::SurfacePixels(headless);
    ASSERT_NE(surface, nullptr);
    const std::vector<DWORD> expected(surface, surface + kW * kH);
    DestroyWindow(headless);
    desktop::UseBackend(shown);

    const HWND hwnd = MakePopup(50, 60);
    Pump(50);
    present(hwnd);
    ExpectScreenShows(expected);
    EXPECT_EQ(desktop::PresentCount(hwnd), 5);
    DestroyWindow(hwnd);
}

// Moved and widened, the window shows what it had where it is now, and
// black where it grew.
TEST_F(ScreenPresentTest, MovedWindowKeepsItsPixels)
{
    const Frame a = MakeFrame(kLayouts[0], 3);
    const HWND hwnd = MakePopup(50, 60);
    Pump(50);
    PresentBoth(hwnd, a, a);
    const DWORD* surface = desktop::SurfacePixels(hwnd);
    std::vector<DWORD> expected;
    for (int y = 0; y < kH; ++y) {
        expected.insert(expected.end(), surface + y * kW, surface + (y + 1) * kW);
        expected.insert(expected.end(), 16, 0);
    }
    ASSERT_TRUE(MoveWindow(hwnd, 200, 100, kW + 16, kH, FALSE));
    std::vector<DWORD> seen;
    for (int tries = 0; tries < 100 && seen != expected; ++tries) {
        Pump(20);
        seen = ReadScreen(200, 100, kW + 16, kH);
    }
    EXPECT_TRUE(seen == expected);
}

// Drawing on a window's context other than presenting (a fill, a blit from
// a memory context, text) shows on the screen as on the desktop's surface.
TEST_F(ScreenPresentTest, OtherDrawingOnAWindowReachesTheScreen)
{
    const HWND hwnd = MakePopup(50, 60);
    Pump(50);
    HDC dc = GetDC(hwnd);
    ASSERT_TRUE(PatBlt(dc, 0, 0, kW, kH, WHITENESS));

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 20;
    bi.bmiHeader.biHeight = -10;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    for (int i = 0; i < 200; ++i)
        static_cast<DWORD*>(bits)[i] = 0x00102030u + DWORD(i);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, section);
    ASSERT_TRUE(BitBlt(dc, 70, 50, 20, 10, memory, 0, 0, SRCCOPY));
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(section);

    SetTextColor(dc, RGB(200, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    ASSERT_TRUE(ExtTextOutA(dc, 5, 5, 0, nullptr, "Kestrel", 7, nullptr));
    ReleaseDC(hwnd, dc);

    const DWORD* surface = desktop::SurfacePixels(hwnd);
    ASSERT_NE(surface, nullptr);
    const std::vector<DWORD> expected(surface, surface + kW * kH);
    ASSERT_NE(std::count(expected.begin(), expected.end(), 0x00C80000u), 0) << "no text drawn";
    std::vector<DWORD> seen;
    for (int tries = 0; tries < 100 && seen != expected; ++tries) {
        Pump(20);
        seen = ReadScreen(50, 60, kW, kH);
    }
    EXPECT_TRUE(seen == expected);
    EXPECT_EQ(desktop::PresentCount(hwnd), 0);
    DestroyWindow(hwnd);
}

}  // namespace
