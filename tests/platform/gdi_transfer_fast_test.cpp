// The row loops of plain copies between 24- and 32-bit rows, and of 5-6-5
// rows into 32-bit ones (a presented frame), against the general per-pixel
// transfer they bypass: the same call on two equal targets, one through
// each, must leave the same bytes.
#include "platform_fixture.h"
#include "gdi_canvas.h"
#include "gdi_internal.h"

#include <random>
#include <string>
#include <vector>

namespace {

class GdiFastTransfer : public PlatformTest {
protected:
    void TearDown() override
    {
        gdi::SetFastTransfers(m_wasFast);
        PlatformTest::TearDown();
    }
    const bool m_wasFast = gdi::FastTransfers();
};

// A 24- or 32-bit canvas of random size and row order (32 bits: the usual
// masks given or implied), full of random bytes; a source may also be 5-6-5.
struct Shape {
    int w, h, bpp;
    bool topDown, masks;
};

Shape RandomShape(std::mt19937& rng, bool source = false)
{
    const int bpp = source && rng() % 3 == 0 ? 16 : rng() % 2 ? 24 : 32;
    return Shape{1 + int(rng() % 37), 1 + int(rng() % 23), bpp, rng() % 2 == 0, rng() % 3 == 0};
}

std::unique_ptr<Canvas> Make(const Shape& s)
{
    std::vector<DWORD> masks;
    if (s.bpp == 32 && s.masks)
        masks = {0xFF0000, 0x00FF00, 0x0000FF};
    if (s.bpp == 16)
        masks = {0xF800, 0x07E0, 0x001F};
    return std::make_unique<Canvas>(s.w, s.topDown ? -s.h : s.h, s.bpp, masks);
}

void Fill(Canvas& c, std::mt19937& rng)
{
    for (int i = 0; i < c.stride * c.h; ++i)
        c.bits[i] = BYTE(rng());
}

std::string Describe(const Shape& s)
{
    return std::to_string(s.w) + "x" + std::to_string(s.h) + "x" + std::to_string(s.bpp) +
           (s.topDown ? " top-down" : " bottom-up");
}

}  // namespace

// BitBlt, StretchBlt (mirrored on either side), SetDIBitsToDevice and
// StretchDIBits (mirrored on the destination's side) from random 5-6-5, 24-
// and 32-bit sections to 24- and 32-bit ones of either row order, at random
// places, under random clip regions of one or two rectangles.
TEST_F(GdiFastTransfer, RowLoopsLeaveTheBytesOfTheGeneralPath)
{
    std::mt19937 rng(2024);
    for (int round = 0; round < 600; ++round) {
        const Shape ss = RandomShape(rng, true), ds = RandomShape(rng);
        auto src = Make(ss);
        auto fast = Make(ds), general = Make(ds);
        Fill(*src, rng);
        Fill(*fast, rng);
        std::memcpy(general->bits, fast->bits, size_t(fast->stride * fast->h));

        const int call = int(rng() % 4);
        const int x = int(rng() % 50) - 10, y = int(rng() % 34) - 8;
        int w = 1 + int(rng() % 45), h = 1 + int(rng() % 30);
        const int sx = int(rng() % (ss.w + 6)) - 3, sy = int(rng() % (ss.h + 6)) - 3;
        int sw = call == 1 || call == 3 ? 1 + int(rng() % ss.w) : w;
        int sh = call == 1 || call == 3 ? 1 + int(rng() % ss.h) : h;
        if (call == 1 || call == 3) {
            // Mirrored: a negative extent on either side (a DIB's source
            // extents stay positive, as StretchDIBits draws nothing else).
            const DWORD flips = rng();
            w = flips & 1 ? -w : w;
            h = flips & 2 ? -h : h;
            sw = call == 1 && flips & 4 ? -sw : sw;
            sh = call == 1 && flips & 8 ? -sh : sh;
        }
        const bool clipped = rng() % 3 == 0;
        RECT a = {LONG(rng() % 30), LONG(rng() % 20), 0, 0};
        a.right = a.left + LONG(rng() % 25);
        a.bottom = a.top + LONG(rng() % 20);
        RECT b = {LONG(rng() % 30), LONG(rng() % 20), 0, 0};
        b.right = b.left + LONG(rng() % 25);
        b.bottom = b.top + LONG(rng() % 20);
        const bool twoRects = rng() % 2 == 0;
        SCOPED_TRACE("round " + std::to_string(round) + " call " + std::to_string(call) + " " +
                     Describe(ss) + " -> " + Describe(ds));

        for (Canvas* target : {fast.get(), general.get()}) {
            gdi::SetFastTransfers(target == fast.get());
            if (clipped) {
                HRGN region = CreateRectRgnIndirect(&a);
                if (twoRects) {
                    HRGN second = CreateRectRgnIndirect(&b);
                    CombineRgn(region, region, second, RGN_OR);
                    DeleteObject(second);
                }
                SelectClipRgn(target->dc, region);
                DeleteObject(region);
            }
            switch (call) {
            case 0: BitBlt(target->dc, x, y, w, h, src->dc, sx, sy, SRCCOPY); break;
            case 1: StretchBlt(target->dc, x, y, w, h, src->dc, sx, sy, sw, sh, SRCCOPY); break;
            case 2:
                SetDIBitsToDevice(target->dc, x, y, DWORD(w), DWORD(h), sx, sy, 0, UINT(ss.h),
                                  src->bits, src->info.get(), DIB_RGB_COLORS);
                break;
            default:
                StretchDIBits(target->dc, x, y, w, h, sx, sy, sw, sh, src->bits, src->info.get(),
                              DIB_RGB_COLORS, SRCCOPY);
                break;
            }
        }
        ASSERT_EQ(std::memcmp(fast->bits, general->bits, size_t(fast->stride * fast->h)), 0);
    }
}

// A window keeps 0 in its pixels' fourth byte, whatever a 32-bit source
// holds there, on both paths; 5-6-5 and 24-bit sources land alike on both.
TEST_F(GdiFastTransfer, WindowSurfacesKeepTheirFourthByteZero)
{
    std::mt19937 rng(5);
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 40, 30);
    ASSERT_NE(hwnd, nullptr);
    for (int bpp : {16, 24, 32}) {
        Canvas src(33, 21, bpp, bpp == 16 ? std::vector<DWORD>{0xF800, 0x07E0, 0x001F}
                                          : std::vector<DWORD>{});
        Fill(src, rng);
        std::vector<DWORD> seen[2];
        for (bool fastPath : {true, false}) {
            gdi::SetFastTransfers(fastPath);
            HDC dc = GetDC(hwnd);
            ASSERT_TRUE(BitBlt(dc, 3, 2, 33, 21, src.dc, 0, 0, SRCCOPY));
            ASSERT_TRUE(StretchBlt(dc, 1, 1, -17, 9, src.dc, 4, 3, 25, 13, SRCCOPY));
            ReleaseDC(hwnd, dc);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x)
                    seen[fastPath].push_back(desktop::Pixel(hwnd, x, y));
        }
        EXPECT_EQ(seen[0], seen[1]) << bpp << " bits";
        for (DWORD v : seen[1])
            ASSERT_EQ(v >> 24, 0u);
    }
    DestroyWindow(hwnd);
}
