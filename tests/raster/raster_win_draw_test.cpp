// RasterImage::Draw onto DIB sections through the platform's GDI: random
// images, sizes, positions, scales, transparency, alpha and clip rectangles
// against a per-pixel model written here from the drawing rules; every
// target depth; clip regions kept as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <raster.h>

#include "desktop_fixture.h"
#include <desktop/desktop.h>
#include "rasterdrawrows.h"
#include "win_target.h"

namespace {

// The test's own model of a picture: rows bottom first, as the image keeps them.
struct Model {
    int w = 1, h = 1, bpp = 24;
    std::vector<DWORD> palette;  // 0xRRGGBB
    std::vector<BYTE> reserved;  // the palette's fourth bytes
    std::vector<DWORD> px;       // index or 0xRRGGBB, px[y * w + x], y from the bottom
    std::vector<BYTE> alpha;     // empty: no alpha plane
    long trans = -1;
    DWORD transColour = 0;
    BYTE alphaMax = 255;
    bool alphaPalette = false;

    DWORD at(long x, long y) const { return px[(size_t)y * w + x]; }

    void make(RasterImage& img) const
    {
        ASSERT_NE(img.Create((DWORD)w, (DWORD)h, (DWORD)bpp), nullptr);
        for (size_t i = 0; i < palette.size(); i++)
            img.SetPaletteColor((BYTE)i, (BYTE)(palette[i] >> 16), (BYTE)(palette[i] >> 8),
                                (BYTE)palette[i], reserved[i]);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                if (bpp <= 8) {
                    img.SetPixelIndex(x, y, (BYTE)at(x, y));
                } else {
                    RGBQUAD c = {(BYTE)at(x, y), (BYTE)(at(x, y) >> 8), (BYTE)(at(x, y) >> 16), 0};
                    img.SetPixelColor(x, y, c);
                }
            }
        if (!alpha.empty()) {
            img.AlphaCreate();
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++)
                    img.AlphaSet(x, y, alpha[(size_t)y * w + x]);
        }
        img.SetTransIndex(trans);
        RGBQUAD key = {(BYTE)transColour, (BYTE)(transColour >> 8), (BYTE)(transColour >> 16), 0};
        img.SetTransColor(key);
        img.AlphaSetMax(alphaMax);
        img.AlphaPaletteEnable(alphaPalette);
    }
};

Model RandomModel(std::mt19937& rng)
{
    static const int kDepths[] = {1, 4, 8, 24};
    Model m;
    m.bpp = kDepths[rng() % 4];
    m.w = 1 + (int)(rng() % 20);
    m.h = 1 + (int)(rng() % 20);
    if (m.bpp <= 8)
        for (int i = 0; i < (1 << m.bpp); i++) {
            m.palette.push_back(rng() & 0xFFFFFF);
            m.reserved.push_back((BYTE)(rng() % 3 == 0 ? 255 : rng()));
        }
    const DWORD colours = m.bpp <= 8 ? 1u << m.bpp : 0;
    for (int i = 0; i < m.w * m.h; i++)
        m.px.push_back(m.bpp <= 8 ? rng() % colours : rng() & 0xFFFFFF);
    switch (rng() % 4) {
    case 0: break;  // opaque
    case 1:
        m.trans = m.bpp <= 8 ? (long)(rng() % colours) : 0;
        if (m.bpp == 24)  // a colour that really occurs
            m.transColour = m.px[rng() % m.px.size()];
        break;
    case 2: m.alphaPalette = m.bpp <= 8; break;
    case 3: break;
    }
    if (rng() % 3 == 0) {
        for (int i = 0; i < m.w * m.h; i++) {
            const DWORD r = rng() % 4;
            m.alpha.push_back(r == 0 ? 0 : r == 1 ? 255 : (BYTE)rng());
        }
    }
    if (rng() % 4 == 0)
        m.alphaMax = (BYTE)rng();
    // The colour only counts while the image is transparent.
    if (m.trans == -1 && m.bpp == 24)
        m.transColour = m.px[0];
    return m;
}

struct Placement {
    long x, y, cx, cy;
    bool clipped;
    RECT clip;
};

// The colour Draw leaves at (X, Y) of the target (y from the top) over bg.
DWORD Expected(const Model& m, const Placement& p, long X, long Y, DWORD bg)
{
    const long cx = p.cx < 0 ? m.w : p.cx, cy = p.cy < 0 ? m.h : p.cy;
    if (X < p.x || X >= p.x + cx || Y < p.y || Y >= p.y + cy)
        return bg;
    if (p.clipped && (X < p.clip.left || X >= p.clip.right || Y < p.clip.top || Y >= p.clip.bottom))
        return bg;
    const bool scaled = cx != m.w || cy != m.h;
    long sx, sy;
    if (scaled) {
        const float fx = (float)m.w / (float)cx, fy = (float)m.h / (float)cy;
        sx = (long)floorf((float)(X - p.x) * fx);
        sy = m.h - (long)ceilf((float)(Y + 1 - p.y) * fy);
    } else {
        sx = X - p.x;
        sy = m.h - 1 - (Y - p.y);
    }
    sx = std::min<long>(std::max<long>(sx, 0), m.w - 1);
    sy = std::min<long>(std::max<long>(sy, 0), m.h - 1);

    const DWORD v = m.at(sx, sy);
    const DWORD col = m.bpp <= 8 ? m.palette[v] : v;
    const bool seeThrough = m.trans != -1 || !m.alpha.empty() || m.alphaPalette;
    if (!seeThrough)
        return col;
    int a = m.alpha.empty() ? 255 : m.alpha[(size_t)sy * m.w + sx];
    a = (a * (m.alphaMax + 1)) >> 8;
    if (m.bpp <= 8) {
        if (m.alphaPalette)
            a = ((m.reserved[v] + 1) * a) >> 8;
        if (m.trans != -1 && (long)v == m.trans)
            return bg;
    } else if (m.trans != -1 && v == m.transColour) {
        return bg;
    }
    if (a == 0)
        return bg;
    if (a == 255)
        return col;
    DWORD out = 0;
    for (int shift : {0, 8, 16}) {
        const DWORD b = (bg >> shift) & 0xFF, c = (col >> shift) & 0xFF;
        out |= ((b * (255 - a) + c * a) >> 8) << shift;
    }
    return out;
}

class RasterDraw : public DesktopTest {};

}  // namespace

TEST_F(RasterDraw, RandomDrawsMatchThePerPixelModel)
{
    std::mt19937 rng(114);
    WinTarget target(48, 40, 32);
    ASSERT_TRUE(target.ok());
    for (int round = 0; round < 400; round++) {
        const Model m = RandomModel(rng);
        RasterImage img;
        m.make(img);
        Placement p;
        p.x = (long)(rng() % 60) - 15;
        p.y = (long)(rng() % 55) - 15;
        const auto extent = [&rng](int own) -> long {
            switch (rng() % 4) {
            case 0: return -1;
            case 1: return own;
            case 2: return own * (long)(2 + rng() % 2);
            default: return 1 + (long)(rng() % 45);
            }
        };
        p.cx = extent(m.w);
        p.cy = extent(m.h);
        p.clipped = rng() % 3 == 0;
        p.clip = {(LONG)(rng() % 50) - 5, (LONG)(rng() % 45) - 5, 0, 0};
        p.clip.right = p.clip.left + (LONG)(rng() % 40);
        p.clip.bottom = p.clip.top + (LONG)(rng() % 40);

        target.scramble(rng);
        const std::vector<DWORD> before = target.snapshot();
        ASSERT_EQ(img.Draw(target.dc(), p.x, p.y, p.cx, p.cy, p.clipped ? &p.clip : nullptr), 1);
        for (int Y = 0; Y < target.height(); Y++)
            for (int X = 0; X < target.width(); X++) {
                const DWORD bg = before[(size_t)Y * target.width() + X];
                ASSERT_EQ(target.colour(X, Y), Expected(m, p, X, Y, bg))
                    << "round " << round << " pixel " << X << "," << Y << " bpp " << m.bpp << " "
                    << m.w << "x" << m.h << " at " << p.x << "," << p.y << " size " << p.cx << "x"
                    << p.cy << (p.clipped ? " clipped" : "") << " trans " << m.trans << " alpha "
                    << !m.alpha.empty() << " alphapal " << m.alphaPalette;
            }
    }
}

// Draw's fast ways (rows painted in place on a DIB section, scratch rows
// over a background read straight from one, the fast row kernels) against
// the general path they bypass: random pictures and placements on 24- and
// 32-bit sections of both row orders and of widths not a multiple of 4,
// under no clip region, one rectangle or two; and on 16-bit sections, which
// take the general way with the fast rows. Every byte must agree.
TEST_F(RasterDraw, FastPathsLeaveTheBytesOfTheGeneralPath)
{
    std::mt19937 rng(3114);
    const bool wasFast = rasterdraw::FastPaths();
    for (int round = 0; round < 400; round++) {
        const Model m = RandomModel(rng);
        RasterImage img;
        m.make(img);
        static const int kDepths[] = {24, 32, 32, 16};
        const int bpp = kDepths[rng() % 4];
        const bool topDown = rng() % 2 == 0;
        // Now and then a target tall enough for scaled rows to go out in
        // several bands.
        const bool tall = round % 25 == 0;
        const int W = tall ? 300 + (int)(rng() % 100) : 9 + (int)(rng() % 40);
        const int H = tall ? 600 + (int)(rng() % 300) : 5 + (int)(rng() % 30);
        WinTarget fast(W, H, bpp, {}, topDown), general(W, H, bpp, {}, topDown);
        ASSERT_TRUE(fast.ok() && general.ok());
        for (int y = 0; y < H; y++)
            for (size_t i = 0; i < fast.stride(); i++)
                fast.row(y)[i] = general.row(y)[i] = (BYTE)rng();

        const long x = (long)(rng() % (W + 20)) - 10, y = (long)(rng() % (H + 20)) - 10;
        const long extents[] = {-1, (long)m.w * 2, 1 + (long)(rng() % 45)};
        const long cx = tall ? W + 20 : extents[rng() % 3], cy = tall ? H + 20 : extents[rng() % 3];
        RECT clip = {(LONG)(rng() % W) - 3, (LONG)(rng() % H) - 3, 0, 0};
        clip.right = clip.left + (LONG)(rng() % W);
        clip.bottom = clip.top + (LONG)(rng() % H);
        const bool clipped = rng() % 3 == 0;
        const int rects = (int)(rng() % 3);
        RECT a = {(LONG)(rng() % W), (LONG)(rng() % H), 0, 0}, b = {0, (LONG)(rng() % H), 0, 0};
        a.right = a.left + 1 + (LONG)(rng() % W);
        a.bottom = a.top + 1 + (LONG)(rng() % H);
        b.right = 1 + (LONG)(rng() % W);
        b.bottom = b.top + 1 + (LONG)(rng() % H);
        SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(m.bpp) + "-bit " +
                     std::to_string(m.w) + "x" + std::to_string(m.h) + " onto " + std::to_string(bpp) +
                     (topDown ? " top-down " : " bottom-up ") + std::to_string(W) + "x" +
                     std::to_string(H) + ", " + std::to_string(rects) + " clip rectangles");

        for (WinTarget* t : {&fast, &general}) {
            rasterdraw::SetFastPaths(t == &fast);
            if (rects > 0) {
                HRGN region = CreateRectRgnIndirect(&a);
                if (rects == 2) {
                    HRGN second = CreateRectRgnIndirect(&b);
                    CombineRgn(region, region, second, RGN_OR);
                    DeleteObject(second);
                }
                SelectClipRgn(t->dc(), region);
                DeleteObject(region);
            }
            ASSERT_EQ(img.Draw(t->dc(), x, y, cx, cy, clipped ? &clip : nullptr), 1);
        }
        rasterdraw::SetFastPaths(wasFast);
        ASSERT_EQ(fast.bytes(), general.bytes());
    }
}

// Each depth of target: a picture drawn plainly, scaled, clipped, with a
// transparent colour and with alpha (0 and 255 only, so that the colours stay
// those of the palette target) lands as exactly its colours.
TEST_F(RasterDraw, EveryTargetDepthTakesTheExactColours)
{
    std::mt19937 rng(7);
    // Colours every depth holds exactly: black and white, then the 16-colour set.
    std::vector<DWORD> colours = {0x000000, 0xFFFFFF, 0x800000, 0x008000, 0x000080, 0x808000,
                                  0x800080, 0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00,
                                  0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
    for (int bpp : {1, 4, 8, 16, 24, 32}) {
        const size_t n = bpp == 1 ? 2 : 16;
        std::vector<DWORD> palette;
        if (bpp <= 8)
            palette.assign(colours.begin(), colours.begin() + (long)n);
        for (const std::string form : {"plain", "scaled", "alpha", "keyed", "clipped"}) {
            SCOPED_TRACE(std::to_string(bpp) + " bits, " + form);
            WinTarget target(30, 20, bpp, palette);
            ASSERT_TRUE(target.ok());
            Model m;
            m.w = 7;
            m.h = 5;
            m.bpp = 24;
            for (int i = 0; i < m.w * m.h; i++)
                m.px.push_back(colours[rng() % n]);
            if (form == "alpha")
                for (int i = 0; i < m.w * m.h; i++)
                    m.alpha.push_back(rng() % 2 ? 255 : 0);
            if (form == "keyed") {
                m.trans = 0;
                m.transColour = m.px[0];
            }
            RasterImage img;
            m.make(img);
            Placement p = {3, 4, form == "scaled" ? 14 : -1, form == "scaled" ? 15 : -1,
                           form == "clipped", {5, 2, 8, 7}};
            target.scramble(rng);
            const std::vector<DWORD> before = target.snapshot();
            ASSERT_EQ(img.Draw(target.dc(), p.x, p.y, p.cx, p.cy, p.clipped ? &p.clip : nullptr), 1);
            for (int Y = 0; Y < target.height(); Y++)
                for (int X = 0; X < target.width(); X++) {
                    const DWORD bg = before[(size_t)Y * target.width() + X];
                    ASSERT_EQ(target.colour(X, Y), target.stored(Expected(m, p, X, Y, bg)))
                        << X << "," << Y;
                }
        }
    }
}

// A clip region of two rectangles on the target keeps both the plain and the
// blending path inside it; a clip rectangle narrows it for one call and the
// region is the same afterwards (not widened to its bounding box).
TEST_F(RasterDraw, ClipRegionsBoundEveryPathAndSurviveAClipRectangle)
{
    WinTarget target(40, 30, 32);
    ASSERT_TRUE(target.ok());
    HRGN region = CreateRectRgn(0, 0, 10, 30);
    HRGN second = CreateRectRgn(20, 5, 40, 15);
    CombineRgn(region, region, second, RGN_OR);
    DeleteObject(second);
    ASSERT_NE(SelectClipRgn(target.dc(), region), ERROR);

    const auto inRegion = [](int X, int Y) {
        return (X < 10) || (X >= 20 && Y >= 5 && Y < 15);
    };
    for (bool blended : {false, true}) {
        for (bool narrowed : {false, true}) {
            SCOPED_TRACE(std::string(blended ? "blended" : "plain") + (narrowed ? ", narrowed" : ""));
            RasterImage img(40, 30, 24);
            RGBQUAD red = {0, 0, 255, 0};
            for (int y = 0; y < 30; y++)
                for (int x = 0; x < 40; x++)
                    img.SetPixelColor(x, y, red);
            if (blended) {
                img.AlphaCreate();
                img.AlphaSet(255);
            }
            RECT narrow = {5, 0, 30, 10};
            // Green everywhere first (the region does not stop our own writes).
            for (int Y = 0; Y < 30; Y++)
                for (int X = 0; X < 40; X++)
                    target.setRaw(X, Y, 0x00FF00);
            ASSERT_EQ(img.Draw(target.dc(), 0, 0, -1, -1, narrowed ? &narrow : nullptr), 1);
            for (int Y = 0; Y < 30; Y++)
                for (int X = 0; X < 40; X++) {
                    bool inside = inRegion(X, Y);
                    if (narrowed)
                        inside = inside && X >= 5 && X < 30 && Y < 10;
                    ASSERT_EQ(target.colour(X, Y), inside ? 0xFF0000u : 0x00FF00u) << X << "," << Y;
                }
            // The region is what it was: a second, unclipped draw fills all of it.
            ASSERT_EQ(img.Draw(target.dc(), 0, 0), 1);
            for (int Y = 0; Y < 30; Y++)
                for (int X = 0; X < 40; X++)
                    ASSERT_EQ(target.colour(X, Y), inRegion(X, Y) ? 0xFF0000u : 0x00FF00u) << X << "," << Y;
        }
    }
    SelectClipRgn(target.dc(), NULL);
    DeleteObject(region);
}

// What Draw refuses, and what it does not.
TEST_F(RasterDraw, RefusalsAndEdgeCases)
{
    WinTarget target(8, 8, 32);
    ASSERT_TRUE(target.ok());
    RasterImage img(2, 2, 24);
    RGBQUAD white = {255, 255, 255, 0};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 2; x++)
            img.SetPixelColor(x, y, white);

    RasterImage empty;
    EXPECT_EQ(empty.Draw(target.dc()), 0);
    EXPECT_EQ(img.Draw(NULL), 0);
    EXPECT_EQ(img.Draw(target.dc(), 0, 0, 0, 5), 0);
    EXPECT_EQ(img.Draw(target.dc(), 0, 0, 5, 0), 0);
    EXPECT_EQ(img.Draw2(target.dc(), 0, 0, 0, 5), 0);
    img.Enable(false);
    EXPECT_EQ(img.Draw(target.dc()), 0);
    EXPECT_EQ(img.Draw2(target.dc()), 0);
    EXPECT_EQ(target.colour(0, 0), 0u);
    // Stretch draws a disabled image.
    EXPECT_EQ(img.Stretch(target.dc(), 0, 0, 2, 2), 1);
    EXPECT_EQ(target.colour(1, 1), 0xFFFFFFu);
    EXPECT_EQ(empty.Stretch(target.dc(), 0, 0, 2, 2), 0);
    EXPECT_EQ(img.Stretch(NULL, 0, 0, 2, 2), 0);

    // Positions past GDI's 32-bit coordinates land nowhere, not wrapped
    // round onto the target.
    img.Enable(true);
    const long far = (1L << 32) + 1;
    const std::vector<DWORD> before = target.snapshot();
    EXPECT_EQ(img.Draw(target.dc(), far, 0), 1);
    EXPECT_EQ(img.Draw(target.dc(), 0, far, 4, 4), 1);
    EXPECT_EQ(img.Draw2(target.dc(), far, 0), 1);
    EXPECT_EQ(img.Stretch(target.dc(), 0, far, 2, 2), 1);
    EXPECT_EQ(target.snapshot(), before);
}

// A window's context is a target like any other: a blended, scaled draw
// lands on the window's surface as the model says.
TEST_F(RasterDraw, DrawsOntoAWindowSurface)
{
    std::mt19937 rng(77);
    HWND hwnd = MakeWindow(40, 30);
    ASSERT_NE(hwnd, nullptr);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    Model m;
    m.w = 6;
    m.h = 4;
    for (int i = 0; i < m.w * m.h; i++) {
        m.px.push_back(rng() & 0xFFFFFF);
        m.alpha.push_back((BYTE)rng());
    }
    RasterImage img;
    m.make(img);
    std::vector<DWORD> before;
    for (int Y = 0; Y < 30; Y++)
        for (int X = 0; X < 40; X++)
            before.push_back(desktop::Pixel(hwnd, X, Y));
    const Placement p = {5, 7, 18, 12, false, {0, 0, 0, 0}};
    ASSERT_EQ(img.Draw(dc, p.x, p.y, p.cx, p.cy), 1);
    ReleaseDC(hwnd, dc);
    for (int Y = 0; Y < 30; Y++)
        for (int X = 0; X < 40; X++)
            ASSERT_EQ(desktop::Pixel(hwnd, X, Y), Expected(m, p, X, Y, before[(size_t)Y * 40 + X]))
                << X << "," << Y;
}
