// GDI transfers against Win32's documented results: the raster operation
// truth tables, StretchBlt's sampling and colour rules, overlapping copies,
// device-independent rows in and out at every depth, and window contexts.
#include "platform_fixture.h"
#include "gdi_canvas.h"
#include "gdi_internal.h"

#include <random>

namespace {

class GdiBlit : public PlatformTest {};

// The colour of the selected brush, which the pattern operations read. There
// is no brush call in this layer, so the tests set it directly.
void SetBrushColor(HDC dc, COLORREF color)
{
    gdi::Registry& r = gdi::Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.FindDc(dc)->brushColor = color;
}

// A stored value's colour, written from the formats' definitions: table
// entries, 5- and 6-bit channels widened by repeating their top bits.
COLORREF RefColor(const Canvas& c, DWORD v)
{
    if (c.bpp <= 8) {
        const RGBQUAD q = c.info.colors[v];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    if (c.bpp == 16) {
        const bool six = c.info.h.biCompression == BI_BITFIELDS;
        const int r5 = six ? v >> 11 : (v >> 10) & 31;
        const int g = six ? (v >> 5) & 63 : (v >> 5) & 31;
        const int b5 = v & 31;
        const int g8 = six ? (g << 2 | g >> 4) : (g << 3 | g >> 2);
        return RGB(r5 << 3 | r5 >> 2, g8, b5 << 3 | b5 >> 2);
    }
    return RGB((v >> 16) & 255, (v >> 8) & 255, v & 255);
}

TEST_F(GdiBlit, EveryRopCodeFollowsItsTruthTable)
{
    // With P = 0xF0, S = 0xCC and D = 0xAA in every byte, each bit position
    // of a byte holds one of the eight (P, S, D) combinations in the order of
    // the code's bits, so the result byte is the code itself. 32-bit and
    // 24-bit surfaces take different paths through the transfer.
    for (int bpp : {32, 24}) {
        Canvas src(1, 1, bpp), dst(1, 1, bpp);
        src.Set(0, 0, 0xCCCCCCCC);
        SetBrushColor(dst.dc, RGB(0xF0, 0xF0, 0xF0));
        for (int code = 0; code < 256; ++code) {
            dst.Set(0, 0, 0xAAAAAAAA);
            ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, DWORD(code) << 16));
            // The brush's colour has no fourth byte: P is 0 there.
            int top = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int s = (0xCC >> bit) & 1, d = (0xAA >> bit) & 1;
                top |= ((code >> (s << 1 | d)) & 1) << bit;
            }
            const DWORD expect = DWORD(code) * 0x010101u | (bpp == 32 ? DWORD(top) << 24 : 0);
            EXPECT_EQ(dst.Get(0, 0), expect) << bpp << " bits, code " << code;
        }
    }
}

TEST_F(GdiBlit, NamedRopsOnMonochromeBitmaps)
{
    // Eight pixels of a monochrome bitmap hold the S and D combinations, for
    // a brush of each colour: the named operations by their definitions.
    struct Named {
        DWORD rop;
        int (*f)(int p, int s, int d);
    };
    const Named named[] = {
        {SRCCOPY, [](int, int s, int) -> int { return s; }},
        {SRCPAINT, [](int, int s, int d) -> int { return s | d; }},
        {SRCAND, [](int, int s, int d) -> int { return s & d; }},
        {SRCINVERT, [](int, int s, int d) -> int { return s ^ d; }},
        {SRCERASE, [](int, int s, int d) -> int { return s & (1 - d); }},
        {NOTSRCCOPY, [](int, int s, int) -> int { return (1 - s); }},
        {NOTSRCERASE, [](int, int s, int d) -> int { return (1 - (s | d)); }},
        {MERGECOPY, [](int p, int s, int) -> int { return p & s; }},
        {MERGEPAINT, [](int, int s, int d) -> int { return (1 - s) | d; }},
        {PATCOPY, [](int p, int, int) -> int { return p; }},
        {PATPAINT, [](int p, int s, int d) -> int { return p | (1 - s) | d; }},
        {PATINVERT, [](int p, int, int d) -> int { return p ^ d; }},
        {DSTINVERT, [](int, int, int d) -> int { return (1 - d); }},
        {BLACKNESS, [](int, int, int) -> int { return 0; }},
        {WHITENESS, [](int, int, int) -> int { return 1; }},
    };
    const BYTE sBits[2] = {0xCC, 0}, dBits[2] = {0xAA, 0};
    for (const Named& n : named) {
        for (int p = 0; p < 2; ++p) {
            HBITMAP sb = CreateBitmap(8, 1, 1, 1, sBits), db = CreateBitmap(8, 1, 1, 1, dBits);
            HDC s = CreateCompatibleDC(nullptr), d = CreateCompatibleDC(nullptr);
            SelectObject(s, sb);
            SelectObject(d, db);
            SetBrushColor(d, p ? RGB(255, 255, 255) : RGB(0, 0, 0));
            ASSERT_TRUE(BitBlt(d, 0, 0, 8, 1, s, 0, 0, n.rop));
            for (int x = 0; x < 8; ++x) {
                const int sv = (0xCC >> (7 - x)) & 1, dv = (0xAA >> (7 - x)) & 1;
                EXPECT_EQ(GetPixel(d, x, 0), n.f(p, sv, dv) ? RGB(255, 255, 255) : RGB(0, 0, 0))
                    << std::hex << n.rop << " p " << p << " x " << x;
            }
            DeleteDC(s);
            DeleteDC(d);
            DeleteObject(sb);
            DeleteObject(db);
        }
    }
    // PatBlt takes no source; an operation that needs one fails.
    Canvas c(2, 1, 24);
    SetBrushColor(c.dc, RGB(1, 2, 3));
    EXPECT_TRUE(PatBlt(c.dc, 0, 0, 2, 1, PATCOPY));
    EXPECT_EQ(GetPixel(c.dc, 1, 0), RGB(1, 2, 3));
    EXPECT_FALSE(PatBlt(c.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_FALSE(BitBlt(c.dc, 0, 0, 2, 1, nullptr, 0, 0, SRCCOPY));
    // A negative size fills between the two corners: from (3, 3) back by
    // (-2, -1) is the rectangle (1, 2) - (3, 3).
    Canvas d(4, 4, 32);
    ASSERT_TRUE(PatBlt(d.dc, 3, 3, -2, -1, WHITENESS));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(d.Get(x, y), y == 2 && (x == 1 || x == 2) ? 0xFFFFFFFFu : 0u)
                << x << "," << y;
}

TEST_F(GdiBlit, ColourAndMonochromeMeetByTextAndBackgroundColours)
{
    // Colour to monochrome: the source's background colour becomes 1
    // (white), every other colour 0.
    Canvas colour(3, 1, 24);
    SetPixel(colour.dc, 0, 0, RGB(10, 20, 30));
    SetPixel(colour.dc, 1, 0, RGB(10, 20, 31));
    SetPixel(colour.dc, 2, 0, RGB(255, 255, 255));
    SetBkColor(colour.dc, RGB(10, 20, 30));
    HBITMAP mono = CreateBitmap(3, 1, 1, 1, nullptr);
    HDC m = CreateCompatibleDC(nullptr);
    SelectObject(m, mono);
    ASSERT_TRUE(BitBlt(m, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(m, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(m, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m, 2, 0), RGB(0, 0, 0));

    // Monochrome to colour: 0 takes the destination's text colour, 1 its
    // background colour; the masking idiom SRCINVERT, SRCAND, SRCINVERT
    // leaves the destination where the mask is 1.
    Canvas target(3, 1, 32);
    SetTextColor(target.dc, RGB(1, 2, 3));
    SetBkColor(target.dc, RGB(200, 100, 50));
    ASSERT_TRUE(StretchBlt(target.dc, 0, 0, 3, 1, m, 0, 0, 3, 1, SRCCOPY));
    EXPECT_EQ(GetPixel(target.dc, 0, 0), RGB(200, 100, 50));
    EXPECT_EQ(GetPixel(target.dc, 1, 0), RGB(1, 2, 3));

    Canvas image(3, 1, 32), back(3, 1, 32);
    for (int x = 0; x < 3; ++x) {
        image.Set(x, 0, 0x00112233u * DWORD(x + 1));
        back.Set(x, 0, 0x00405060);
    }
    ASSERT_TRUE(BitBlt(back.dc, 0, 0, 3, 1, image.dc, 0, 0, SRCINVERT));
    ASSERT_TRUE(BitBlt(back.dc, 0, 0, 3, 1, m, 0, 0, SRCAND));
    ASSERT_TRUE(BitBlt(back.dc, 0, 0, 3, 1, image.dc, 0, 0, SRCINVERT));
    EXPECT_EQ(back.Get(0, 0), 0x00405060u);
    EXPECT_EQ(back.Get(1, 0), image.Get(1, 0));
    EXPECT_EQ(back.Get(2, 0), image.Get(2, 0));
    DeleteDC(m);
    DeleteObject(mono);
}

TEST_F(GdiBlit, StretchBltSamplesTheNearestSourcePixel)
{
    // Random sizes, offsets and mirrorings on either side, from sources of
    // either orientation, against the per-pixel rule: the destination pixel
    // takes the source pixel under its centre. A negative extent runs back
    // from its origin's pixel, so a side flipped covers the same pixels from
    // origin + size - 1; flipped on one side only, the picture mirrors.
    std::mt19937 rng(7);
    Canvas down(24, 20, 32), up(24, -20, 32);
    down.Randomise(rng);
    up.Randomise(rng);
    for (int round = 0; round < 400; ++round) {
        Canvas& src = round % 2 ? up : down;
        Canvas dst(30, 30, 32);
        const int w = int(rng() % 29) + 1, h = int(rng() % 29) + 1;
        const int sw = int(rng() % 24) + 1, sh = int(rng() % 20) + 1;
        const int sx = int(rng() % (25 - sw)), sy = int(rng() % (21 - sh));
        const bool flipX = rng() % 4 == 0, flipY = rng() % 4 == 0;
        const bool flipSx = rng() % 4 == 0, flipSy = rng() % 4 == 0;
        ASSERT_TRUE(StretchBlt(dst.dc, flipX ? w - 1 : 0, flipY ? h - 1 : 0, flipX ? -w : w,
                               flipY ? -h : h, src.dc, flipSx ? sx + sw - 1 : sx,
                               flipSy ? sy + sh - 1 : sy, flipSx ? -sw : sw, flipSy ? -sh : sh,
                               SRCCOPY));
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 30; ++x) {
                DWORD expect = 0;
                if (x < w && y < h) {
                    const int i = flipX != flipSx ? w - 1 - x : x;
                    const int j = flipY != flipSy ? h - 1 - y : y;
                    const int px = sx + int((2 * int64_t(i) + 1) * sw / (2 * w));
                    const int py = sy + int((2 * int64_t(j) + 1) * sh / (2 * h));
                    expect = src.Get(px, py);
                }
                ASSERT_EQ(dst.Get(x, y), expect) << "round " << round << " at " << x << "," << y;
            }
        }
        // The same rectangle through StretchDIBits from the section's own
        // rows, whose ySrc counts from the picture's bottom row for either
        // row order, lands the same pixels; the call returns the bitmap's
        // scan lines.
        if (!flipSx && !flipSy) {
            Canvas viaDib(30, 30, 32);
            ASSERT_EQ(StretchDIBits(viaDib.dc, flipX ? w - 1 : 0, flipY ? h - 1 : 0, flipX ? -w : w,
                                    flipY ? -h : h, sx, src.h - sy - sh, sw, sh, src.bits,
                                    src.info.get(), DIB_RGB_COLORS, SRCCOPY),
                      20)
                << "round " << round;
            ASSERT_EQ(std::memcmp(viaDib.bits, dst.bits, size_t(dst.stride * 30)), 0)
                << "round " << round;
        }
    }
}

TEST_F(GdiBlit, NegativeExtentsRunBackFromTheOriginPixel)
{
    // Windows takes a negative width or height as running back from the
    // origin's pixel, which is part of the rectangle, and mirrors the picture
    // when the source and destination signs differ. From the 2 x 2 picture
    // a b / c d (values 1 2 / 3 4) onto a 3 x 3 target of zeros, rows top
    // first.
    Canvas src(2, 2, 32);
    src.Set(0, 0, 1), src.Set(1, 0, 2), src.Set(0, 1, 3), src.Set(1, 1, 4);
    const struct {
        const char* name;
        int x, y, w, h, sx, sy, sw, sh;
        DWORD want[9];
    } rows[] = {
        {"plain copy", 0, 0, 2, 2, 0, 0, 2, 2, {1, 2, 0, 3, 4, 0, 0, 0, 0}},
        {"source back from (1, 1)", 0, 0, 2, 2, 1, 1, -2, -2, {4, 3, 0, 2, 1, 0, 0, 0, 0}},
        {"source width back from 1", 0, 0, 2, 2, 1, 0, -2, 2, {2, 1, 0, 4, 3, 0, 0, 0, 0}},
        {"source height back from 1", 0, 0, 2, 2, 0, 1, 2, -2, {3, 4, 0, 1, 2, 0, 0, 0, 0}},
        {"destination back from (1, 1)", 1, 1, -2, -2, 0, 0, 2, 2, {4, 3, 0, 2, 1, 0, 0, 0, 0}},
        {"destination back from (2, 2)", 2, 2, -2, -2, 0, 0, 2, 2, {0, 0, 0, 0, 4, 3, 0, 2, 1}},
        {"both sides back: no mirror", 1, 1, -2, -2, 1, 1, -2, -2, {1, 2, 0, 3, 4, 0, 0, 0, 0}},
        {"mirrored and widened across", 2, 0, -3, 1, 0, 0, 2, 1, {2, 2, 1, 0, 0, 0, 0, 0, 0}},
        {"source running off the left edge", 0, 0, 2, 1, 0, 0, -2, 1, {1, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Canvas dst(3, 3, 32);
        ASSERT_TRUE(StretchBlt(dst.dc, row.x, row.y, row.w, row.h, src.dc, row.sx, row.sy, row.sw,
                               row.sh, SRCCOPY));
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(dst.Get(i % 3, i / 3), row.want[i]) << "at " << i % 3 << "," << i / 3;
    }
}

TEST_F(GdiBlit, WholeFactorsRepeatAndOneToOneCopies)
{
    std::mt19937 rng(3);
    Canvas src(5, 4, 8);
    src.Randomise(rng);
    Canvas big(15, 8, 8);
    ASSERT_TRUE(StretchBlt(big.dc, 0, 0, 15, 8, src.dc, 0, 0, 5, 4, SRCCOPY));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 15; ++x)
            ASSERT_EQ(big.Get(x, y), src.Get(x / 3, y / 2));
    Canvas same(5, 4, 8);
    ASSERT_TRUE(BitBlt(same.dc, 0, 0, 5, 4, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(std::memcmp(same.bits, src.bits, size_t(src.stride * 4)), 0);
}

TEST_F(GdiBlit, OverlappingCopyWithinOneBitmapReadsThePixelsAsTheyWere)
{
    std::mt19937 rng(11);
    for (int bpp : {1, 8, 24, 32}) {
        Canvas c(9, 9, bpp), before(9, 9, bpp);
        c.Randomise(rng);
        std::memcpy(before.bits, c.bits, size_t(c.stride * 9));
        for (auto d : {std::pair<int, int>{1, 1}, {-2, 0}, {0, -2}, {2, 2}}) {
            std::memcpy(c.bits, before.bits, size_t(c.stride * 9));
            ASSERT_TRUE(BitBlt(c.dc, 2 + d.first, 2 + d.second, 5, 5, c.dc, 2, 2, SRCCOPY));
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 5; ++x)
                    ASSERT_EQ(c.Get(2 + d.first + x, 2 + d.second + y), before.Get(2 + x, 2 + y))
                        << bpp << " bits, shift " << d.first << "," << d.second << " at " << x << "," << y;
        }
    }
}

TEST_F(GdiBlit, DibRowsRoundTripAtEveryDepth)
{
    // Rows of each depth go out with GetDIBits unchanged, and every pixel
    // reaches a 24-bit copy (GetDIBits) and a 32-bit context
    // (SetDIBitsToDevice, both orientations) as the format defines it.
    struct Format {
        int bpp;
        std::vector<DWORD> masks;
    };
    const std::vector<Format> formats = {{1, {}},  {4, {}},  {8, {}},  {16, {}},
                                         {16, {0xF800, 0x07E0, 0x001F}}, {24, {}}, {32, {}}};
    std::mt19937 rng(5);
    for (const Format& f : formats) {
        for (int height : {6, -6}) {
            SCOPED_TRACE(::testing::Message() << f.bpp << " bits, height " << height);
            Canvas c(7, height, f.bpp, f.masks);
            c.Randomise(rng);
            if (f.bpp == 32)  // the spare byte is not colour
                for (int y = 0; y < 6; ++y)
                    for (int x = 0; x < 7; ++x)
                        c.Set(x, y, c.Get(x, y) & 0xFFFFFF);

            CanvasInfo same = c.info;
            std::vector<BYTE> rows(size_t(c.stride * 6));
            ASSERT_EQ(GetDIBits(c.dc, c.bitmap, 0, 6, rows.data(), same.get(), DIB_RGB_COLORS), 6);
            EXPECT_EQ(std::memcmp(rows.data(), c.bits, rows.size()), 0);

            CanvasInfo wide = CanvasHeader(7, height, 24);
            const int stride24 = (7 * 24 + 31) / 32 * 4;
            std::vector<BYTE> rgb(size_t(stride24 * 6));
            ASSERT_EQ(GetDIBits(c.dc, c.bitmap, 0, 6, rgb.data(), wide.get(), DIB_RGB_COLORS), 6);
            for (int y = 0; y < 6; ++y) {
                const BYTE* r = rgb.data() + (height < 0 ? y : 5 - y) * stride24;
                for (int x = 0; x < 7; ++x)
                    ASSERT_EQ(RGB(r[3 * x + 2], r[3 * x + 1], r[3 * x]), RefColor(c, c.Get(x, y)));
            }

            Canvas out(7, 6, 32);
            ASSERT_EQ(SetDIBitsToDevice(out.dc, 0, 0, 7, 6, 0, 0, 0, 6, c.bits, c.info.get(),
                                        DIB_RGB_COLORS),
                      6);
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 7; ++x)
                    ASSERT_EQ(out.Get(x, y), DWORD(RefColor(c, c.Get(x, y))) >> 16 |
                                                 (DWORD(RefColor(c, c.Get(x, y))) & 0xFF00) |
                                                 (DWORD(RefColor(c, c.Get(x, y))) & 0xFF) << 16);
            // The same rows by StretchDIBits at one to one.
            Canvas again(7, 6, 32);
            ASSERT_EQ(StretchDIBits(again.dc, 0, 0, 7, 6, 0, 0, 7, 6, c.bits, c.info.get(),
                                    DIB_RGB_COLORS, SRCCOPY),
                      6);
            EXPECT_EQ(std::memcmp(again.bits, out.bits, size_t(out.stride * 6)), 0);
        }
    }
}

TEST_F(GdiBlit, GetDIBitsDescribesTheBitmapAndItsSize)
{
    Canvas c(10, -3, 16, {0xF800, 0x07E0, 0x001F});
    CanvasInfo info = {};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    ASSERT_NE(GetDIBits(c.dc, c.bitmap, 0, 3, nullptr, info.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.h.biWidth, 10);
    EXPECT_EQ(info.h.biHeight, 3);
    EXPECT_EQ(info.h.biBitCount, 16);
    EXPECT_EQ(info.h.biCompression, DWORD(BI_BITFIELDS));
    EXPECT_EQ(info.h.biSizeImage, 60u);
    // Asked for 8 bits without rows: the size and the colour table.
    info.h.biBitCount = 8;
    info.h.biCompression = BI_RGB;
    ASSERT_NE(GetDIBits(c.dc, c.bitmap, 0, 3, nullptr, info.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.h.biSizeImage, 36u);
    EXPECT_EQ(info.colors[15].rgbRed, 255);
    // Bit fields left empty are filled with the bitmap's own.
    info.h.biBitCount = 16;
    info.h.biCompression = BI_BITFIELDS;
    std::memset(info.colors, 0, 12);
    std::vector<BYTE> rows(60);
    ASSERT_EQ(GetDIBits(c.dc, c.bitmap, 1, 5, rows.data(), info.get(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(reinterpret_cast<DWORD*>(info.colors)[0], 0xF800u);
    // A short colour table (biClrUsed) is all the room the caller has: no
    // entry past it is written, and pixels take the nearest of those given.
    CanvasInfo small = CanvasHeader(10, 3, 8);
    small.h.biClrUsed = 4;
    std::memset(small.colors, 0xEE, sizeof(small.colors));
    std::vector<BYTE> indices(36);
    ASSERT_EQ(GetDIBits(c.dc, c.bitmap, 0, 3, indices.data(), small.get(), DIB_RGB_COLORS), 3);
    EXPECT_EQ(small.h.biClrUsed, 4u);
    EXPECT_EQ(small.colors[4].rgbRed, 0xEE);
    for (BYTE i : indices)
        EXPECT_LT(i, 4);
    // Failures.
    EXPECT_EQ(GetDIBits(c.dc, nullptr, 0, 3, rows.data(), info.get(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(c.dc, c.bitmap, 3, 3, rows.data(), info.get(), DIB_RGB_COLORS), 0);
    info.h.biBitCount = 3;
    EXPECT_EQ(GetDIBits(c.dc, c.bitmap, 0, 3, rows.data(), info.get(), DIB_RGB_COLORS), 0);
}

TEST_F(GdiBlit, CreateDIBitmapWithRowsMakesACompatibleCopy)
{
    Canvas c(4, 3, 8);
    std::mt19937 rng(9);
    c.Randomise(rng);
    HDC screen = GetDC(nullptr);
    HBITMAP b = CreateDIBitmap(screen, &c.info.h, CBM_INIT, c.bits, c.info.get(), DIB_RGB_COLORS);
    ASSERT_NE(b, nullptr);
    BITMAP bm = {};
    GetObjectA(b, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 3);
    HDC m = CreateCompatibleDC(screen);
    SelectObject(m, b);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(GetPixel(m, x, y), RefColor(c, c.Get(x, y)));
    DeleteDC(m);
    DeleteObject(b);
    ReleaseDC(nullptr, screen);
}

TEST_F(GdiBlit, WindowContextsDrawIntoTheWindowSurface)
{
    HWND hwnd = MakeWindow(WS_POPUP, 0, 0, 6, 4);
    Canvas src(2, 2, 24);
    SetPixel(src.dc, 0, 0, RGB(1, 2, 3));
    SetPixel(src.dc, 1, 1, RGB(250, 251, 252));
    HDC dc = GetDC(hwnd);
    ASSERT_TRUE(BitBlt(dc, 3, 1, 2, 2, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(desktop::Pixel(hwnd, 3, 1), 0x010203u);
    EXPECT_EQ(desktop::Pixel(hwnd, 4, 2), 0xFAFBFCu);
    EXPECT_EQ(GetPixel(dc, 4, 2), RGB(250, 251, 252));
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(GetPixel(dc, 4, 2), CLR_INVALID);  // released

    // A 32-bit section's spare byte never reaches the window.
    Canvas alpha(1, 1, 32);
    alpha.Set(0, 0, 0xFF102030);
    PAINTSTRUCT ps;
    HDC paint = BeginPaint(hwnd, &ps);
    ASSERT_TRUE(BitBlt(paint, 0, 0, 1, 1, alpha.dc, 0, 0, SRCCOPY));
    EndPaint(hwnd, &ps);
    EXPECT_EQ(desktop::Pixel(hwnd, 0, 0), 0x102030u);
    // And back from the window into a section.
    dc = GetDC(hwnd);
    Canvas back(6, 4, 32);
    ASSERT_TRUE(BitBlt(back.dc, 0, 0, 6, 4, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(back.Get(3, 1), 0x010203u);
    ReleaseDC(hwnd, dc);

    // A child's context draws into its top-level window's surface at the
    // child's place, and only within the child's client area.
    HWND child = CreateWindowExA(0, "TestWindow", "", WS_CHILD | WS_VISIBLE, 4, 1, 4, 2, hwnd,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    dc = GetDC(child);
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 2);  // the part on the 6-pixel-wide surface
    EXPECT_EQ(box.bottom, 2);
    ASSERT_TRUE(PatBlt(dc, -1, -1, 9, 9, WHITENESS));
    ReleaseDC(child, dc);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(desktop::Pixel(hwnd, x, y) == 0xFFFFFFu, x >= 4 && y >= 1 && y < 3)
                << x << "," << y;
    DestroyWindow(hwnd);
}

}  // namespace
