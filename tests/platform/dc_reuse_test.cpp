// Window and screen contexts taken and released over and over, as a game
// does to present each frame: the storage of released contexts is reused,
// and nothing of a released context may show through a new one.
#include "alloc_counter.h"
#include "platform_fixture.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

using DcReuse = PlatformTest;

// Random takes and releases of window, screen and memory contexts against a
// model of those held: every handle is new, every held context keeps its
// own attributes, and a released handle, or one released by the wrong
// window, is refused.
TEST_F(DcReuse, HandlesStayDistinctAndReleasedOnesAreRefused)
{
    const HWND windows[] = {MakeWindow(WS_POPUP, 0, 0, 8, 6), MakeWindow(WS_POPUP, 9, 0, 4, 4),
                            nullptr};
    std::mt19937 rng(7);
    std::map<HDC, std::pair<HWND, COLORREF>> held;  // the window (or memory: 1) and text colour
    std::set<HDC> seen, released;
    const HWND memory = reinterpret_cast<HWND>(1);
    for (int step = 0; step < 3000; ++step) {
        const unsigned pick = rng() % 8;
        if (held.empty() || pick < 3) {
            const HWND w = windows[rng() % 3];
            const bool mem = pick == 2;
            const HDC dc = mem ? CreateCompatibleDC(nullptr) : GetDC(w);
            ASSERT_NE(dc, nullptr);
            ASSERT_TRUE(seen.insert(dc).second) << "handle given twice at step " << step;
            EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
            const COLORREF color = RGB(step & 255, step >> 8, pick);
            SetTextColor(dc, color);
            held[dc] = {mem ? memory : w, color};
            continue;
        }
        auto it = std::next(held.begin(), long(rng() % held.size()));
        const HDC dc = it->first;
        const HWND owner = it->second.first;
        ASSERT_EQ(GetTextColor(dc), it->second.second) << "step " << step;
        if (owner != memory && pick == 3)
            EXPECT_EQ(ReleaseDC(owner == windows[0] ? windows[1] : windows[0], dc), 0);
        else if (owner == memory)
            EXPECT_TRUE(DeleteDC(dc));
        else
            EXPECT_EQ(ReleaseDC(owner, dc), 1);
        if (owner == memory || pick != 3) {
            held.erase(it);
            released.insert(dc);
        }
        if (!released.empty() && pick == 4) {
            const HDC gone = *std::next(released.begin(), long(rng() % released.size()));
            EXPECT_EQ(ReleaseDC(nullptr, gone), 0);
            EXPECT_EQ(GetTextColor(gone), CLR_INVALID);
        }
    }
    int desktopHeld = 0;
    for (const auto& entry : held)
        desktopHeld += entry.second.first != memory;
    EXPECT_EQ(desktop::OpenDcCount(), desktopHeld);
}

// A context given the storage of a released one starts afresh: default
// attributes and palette, and no clip region, though the surface is the same.
TEST_F(DcReuse, NewContextInheritsNothingFromAReleasedOne)
{
    const HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 8, 6);
    HDC dc = GetDC(hwnd);
    const HGDIOBJ stockPalette = GetCurrentObject(dc, OBJ_PAL);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    SetBkMode(dc, TRANSPARENT);
    SetStretchBltMode(dc, COLORONCOLOR);
    LOGPALETTE one = {0x300, 1, {{9, 9, 9, 0}}};
    HPALETTE palette = CreatePalette(&one);
    SelectPalette(dc, palette, FALSE);
    HRGN clip = CreateRectRgn(1, 1, 3, 2);
    SelectClipRgn(dc, clip);
    ASSERT_TRUE(PatBlt(dc, 0, 0, 8, 6, BLACKNESS));  // the clipped area is cached
    ASSERT_EQ(ReleaseDC(hwnd, dc), 1);

    dc = GetDC(hwnd);
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), stockPalette);
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_TRUE(box.left == 0 && box.top == 0 && box.right == 8 && box.bottom == 6);
    ASSERT_TRUE(PatBlt(dc, 0, 0, 8, 6, WHITENESS));
    ReleaseDC(hwnd, dc);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(desktop::Pixel(hwnd, x, y), 0xFFFFFFu) << x << "," << y;
    DeleteObject(clip);
    DeleteObject(palette);
}

// Presenting a frame (take the window's context, copy pixels in, release
// it) makes no allocation once the first frame has been presented.
TEST_F(DcReuse, PresentingAgainAllocatesNothing)
{
    if (!AllocCounter::Available())
        GTEST_SKIP() << "allocations are not counted under the sanitizers";
    const HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 8, 6);
    DWORD rows[6][8] = {};
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, -6, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    auto present = [&] {
        HDC dc = GetDC(hwnd);
        SetDIBitsToDevice(dc, 0, 0, 8, 6, 0, 0, 0, 6, rows, &bmi, DIB_RGB_COLORS);
        return ReleaseDC(hwnd, dc);
    };
    ASSERT_EQ(present(), 1);
    AllocCounter counter;
    for (int frame = 0; frame < 8; ++frame) {
        rows[frame % 6][frame] = DWORD(frame + 1);
        ASSERT_EQ(present(), 1);
    }
    EXPECT_EQ(counter.Total(), 0u);
    EXPECT_EQ(desktop::Pixel(hwnd, 5, 5), 6u);
    EXPECT_EQ(desktop::Pixel(hwnd, 7, 1), 8u);
}

// Presenting a frame's changed rows in one copy clipped to them (a region
// made from the rows, selected, the copy, the region deleted) allocates
// nothing once the first such frame has been presented, though the rows
// differ from frame to frame; only the rows' pixels arrive.
TEST_F(DcReuse, PresentingRowsThroughAClipRegionAgainAllocatesNothing)
{
    if (!AllocCounter::Available())
        GTEST_SKIP() << "allocations are not counted under the sanitizers";
    const int w = 40, h = 30;
    const HWND hwnd = MakeWindow(WS_POPUP, 0, 0, w, h);
    std::vector<DWORD> pixels(size_t(w * h));
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    // Rows of 3 pixels, every other one, each from its own left to its right.
    auto rowsOf = [&](int frame) {
        std::vector<RECT> rows;
        for (int top = 0; top + 3 <= h; top += 6)
            rows.push_back(RECT{LONG((top + frame) % 7), LONG(top), LONG(w - frame % 5), LONG(top + 3)});
        return rows;
    };
    auto present = [&](const std::vector<BYTE>& list) {
        HDC dc = GetDC(hwnd);
        HRGN region = ExtCreateRegion(nullptr, DWORD(list.size()),
                                      reinterpret_cast<const RGNDATA*>(list.data()));
        EXPECT_EQ(SelectClipRgn(dc, region), COMPLEXREGION);
        SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, pixels.data(), &bmi, DIB_RGB_COLORS);
        SelectClipRgn(dc, nullptr);
        DeleteObject(region);
        return ReleaseDC(hwnd, dc);
    };
    ASSERT_EQ(present(RegionList(rowsOf(0))), 1);
    std::vector<std::vector<BYTE>> frames;
    for (int frame = 1; frame <= 8; ++frame)
        frames.push_back(RegionList(rowsOf(frame)));  // made before counting
    AllocCounter counter;
    for (int frame = 1; frame <= 8; ++frame) {
        std::fill(pixels.begin(), pixels.end(), DWORD(frame));
        ASSERT_EQ(present(frames[size_t(frame - 1)]), 1);
    }
    EXPECT_EQ(counter.Total(), 0u);
    const std::vector<RECT> last = rowsOf(8);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bool inRow = false;
            for (const RECT& r : last)
                inRow = inRow || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            if (inRow)
                ASSERT_EQ(desktop::Pixel(hwnd, x, y), 8u) << x << "," << y;
            else
                ASSERT_NE(desktop::Pixel(hwnd, x, y), 8u) << x << "," << y;
        }
    }
}

}  // namespace
