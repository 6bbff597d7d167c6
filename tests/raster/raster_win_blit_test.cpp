// Draw2 (transparent colour through a monochrome mask), Stretch with raster
// operations and Tile, onto DIB sections through the platform's GDI, each
// pixel against what Win32 documents for the operation.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <raster.h>

#include "desktop_fixture.h"
#include "win_target.h"

namespace {

class RasterBlit : public DesktopTest {};

// A w x h image of random colours (y from the bottom as the image keeps it).
void RandomColours(RasterImage& img, std::mt19937& rng, long w, long h)
{
    ASSERT_NE(img.Create((DWORD)w, (DWORD)h, 24), nullptr);
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            RGBQUAD c = {(BYTE)rng(), (BYTE)rng(), (BYTE)rng(), 0};
            img.SetPixelColor(x, y, c);
        }
}

DWORD Rgb(const RasterImage& img, long x, long yFromTop)
{
    RGBQUAD c = img.GetPixelColor(x, (long)img.GetHeight() - 1 - yFromTop, false);
    return ((DWORD)c.rgbRed << 16) | ((DWORD)c.rgbGreen << 8) | c.rgbBlue;
}

// A raster operation's result, bit by bit: bit (P << 2 | S << 1 | D) of the
// code's third byte, with the pattern P the context's brush (white).
DWORD Rop(DWORD rop, DWORD s, DWORD d)
{
    const DWORD table = (rop >> 16) & 0xFF, p = 0xFFFFFF;
    DWORD out = 0;
    for (int bit = 0; bit < 24; bit++) {
        const int i = (int)((p >> bit) & 1) << 2 | (int)((s >> bit) & 1) << 1 | (int)((d >> bit) & 1);
        out |= ((table >> i) & 1) << bit;
    }
    return out;
}

}  // namespace

// Every raster operation that reads no pattern other than the white brush,
// at one to one and at twice the size.
TEST_F(RasterBlit, StretchAppliesTheRasterOperationPerBit)
{
    std::mt19937 rng(3);
    WinTarget target(24, 20, 32);
    ASSERT_TRUE(target.ok());
    const struct {
        const char* name;
        DWORD rop;
    } ops[] = {{"SRCCOPY", SRCCOPY},     {"SRCPAINT", SRCPAINT},     {"SRCAND", SRCAND},
               {"SRCINVERT", SRCINVERT}, {"SRCERASE", SRCERASE},     {"NOTSRCCOPY", NOTSRCCOPY},
               {"NOTSRCERASE", NOTSRCERASE}, {"MERGEPAINT", MERGEPAINT}, {"DSTINVERT", DSTINVERT},
               {"BLACKNESS", BLACKNESS}, {"WHITENESS", WHITENESS}};
    for (const auto& op : ops) {
        for (int scale : {1, 2}) {
            SCOPED_TRACE(std::string(op.name) + " x" + std::to_string(scale));
            RasterImage img;
            RandomColours(img, rng, 7, 6);
            target.scramble(rng);
            const std::vector<DWORD> before = target.snapshot();
            const long x = 2, y = 3;
            ASSERT_EQ(img.Stretch(target.dc(), x, y, 7 * scale, 6 * scale, op.rop), 1);
            for (int Y = 0; Y < target.height(); Y++)
                for (int X = 0; X < target.width(); X++) {
                    const DWORD d = before[(size_t)Y * target.width() + X];
                    const bool inside = X >= x && X < x + 7 * scale && Y >= y && Y < y + 6 * scale;
                    const DWORD want = inside ? Rop(op.rop, Rgb(img, (X - x) / scale, (Y - y) / scale), d) : d;
                    ASSERT_EQ(target.colour(X, Y), want) << X << "," << Y;
                }
        }
    }
}

// Pixels of the transparent colour (a palette index, or the colour of a
// true-colour image) leave the target; the others land, scaled by whole
// factors; the target's own text and background colours play no part and
// are the same afterwards.
TEST_F(RasterBlit, Draw2KeepsTheTargetUnderTheTransparentColour)
{
    std::mt19937 rng(22);
    WinTarget target(40, 30, 32);
    ASSERT_TRUE(target.ok());
    for (int bpp : {4, 8, 24}) {
        for (int scale : {1, 3}) {
            SCOPED_TRACE(std::to_string(bpp) + " bits x" + std::to_string(scale));
            const long w = 9, h = 7;
            RasterImage img(w, h, (DWORD)bpp);
            ASSERT_TRUE(img.IsValid());
            std::vector<DWORD> colour((size_t)(w * h));
            DWORD key = 0;
            if (bpp <= 8) {
                const int n = 1 << (bpp == 4 ? 4 : 8);
                for (int i = 0; i < n; i++)  // distinct colours
                    img.SetPaletteColor((BYTE)i, (BYTE)(i * 13 + 1), (BYTE)(255 - i), (BYTE)(i * 7));
                const BYTE trans = (BYTE)(rng() % n);
                img.SetTransIndex(trans);
                RGBQUAD k = img.GetPaletteColor(trans);
                key = (DWORD)k.rgbRed << 16 | (DWORD)k.rgbGreen << 8 | k.rgbBlue;
                for (long y = 0; y < h; y++)
                    for (long x = 0; x < w; x++)
                        img.SetPixelIndex(x, y, rng() % 3 == 0 ? trans : (BYTE)(rng() % n));
            } else {
                RandomColours(img, rng, w, h);
                RGBQUAD k = img.GetPixelColor(0, 0, false);
                img.SetTransIndex(0);
                img.SetTransColor(k);
                key = (DWORD)k.rgbRed << 16 | (DWORD)k.rgbGreen << 8 | k.rgbBlue;
                for (long y = 0; y < h; y++)
                    for (long x = 0; x < w; x++)
                        if (rng() % 3 == 0)
                            img.SetPixelColor(x, y, k);
            }
            target.scramble(rng);
            SetTextColor(target.dc(), RGB(10, 200, 30));
            SetBkColor(target.dc(), RGB(250, 5, 90));
            const std::vector<DWORD> before = target.snapshot();
            const long x = 4, y = 2;
            ASSERT_EQ(img.Draw2(target.dc(), x, y, w * scale, h * scale), 1);
            for (int Y = 0; Y < target.height(); Y++)
                for (int X = 0; X < target.width(); X++) {
                    const DWORD d = before[(size_t)Y * target.width() + X];
                    DWORD want = d;
                    if (X >= x && X < x + w * scale && Y >= y && Y < y + h * scale) {
                        const DWORD s = Rgb(img, (X - x) / scale, (Y - y) / scale);
                        want = s == key ? d : s;
                    }
                    ASSERT_EQ(target.colour(X, Y), want) << X << "," << Y;
                }
            EXPECT_EQ(GetTextColor(target.dc()), RGB(10, 200, 30));
            EXPECT_EQ(GetBkColor(target.dc()), RGB(250, 5, 90));
        }
    }
}

// An opaque Draw2 stretches the whole image; a transparent one outside the
// visible area draws nothing and still succeeds.
TEST_F(RasterBlit, Draw2OpaqueAndOutOfSight)
{
    std::mt19937 rng(9);
    WinTarget target(20, 20, 32);
    ASSERT_TRUE(target.ok());
    RasterImage img;
    RandomColours(img, rng, 5, 4);
    ASSERT_EQ(img.Draw2(target.dc(), 1, 1, 10, 8), 1);
    for (int Y = 1; Y < 9; Y++)
        for (int X = 1; X < 11; X++)
            ASSERT_EQ(target.colour(X, Y), Rgb(img, (X - 1) / 2, (Y - 1) / 2)) << X << "," << Y;

    target.scramble(rng);
    const std::vector<DWORD> before = target.snapshot();
    img.SetTransIndex(0);
    EXPECT_EQ(img.Draw2(target.dc(), 100, 100), 1);
    EXPECT_EQ(target.snapshot(), before);
}

// A 100 x 50 image over a 250 x 120 rectangle: 3 x 3 tiles, the last column
// 50 wide and the last row 20 high, nothing outside; the same for a
// see-through image, whose tiles take the blending path.
TEST_F(RasterBlit, TileRepeatsTheImageAndCutsTheLastTiles)
{
    std::mt19937 rng(50);
    WinTarget target(270, 140, 32);
    ASSERT_TRUE(target.ok());
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "alpha" : "opaque");
        RasterImage img;
        RandomColours(img, rng, 100, 50);
        if (alpha) {
            img.AlphaCreate();
            img.AlphaSet(255);
        }
        target.scramble(rng);
        const std::vector<DWORD> before = target.snapshot();
        RECT rc = {10, 7, 260, 127};
        ASSERT_EQ(img.Tile(target.dc(), &rc), 1);
        for (int Y = 0; Y < target.height(); Y++)
            for (int X = 0; X < target.width(); X++) {
                const bool inside = X >= rc.left && X < rc.right && Y >= rc.top && Y < rc.bottom;
                const DWORD want = inside ? Rgb(img, (X - rc.left) % 100, (Y - rc.top) % 50)
                                          : before[(size_t)Y * target.width() + X];
                ASSERT_EQ(target.colour(X, Y), want) << X << "," << Y;
            }
    }
}

// Tiles line up with the rectangle's corner wherever it lies, and a vast
// rectangle costs only the visible area.
TEST_F(RasterBlit, TileKeepsItsPhaseAndIgnoresWhatCannotShow)
{
    std::mt19937 rng(51);
    WinTarget target(20, 20, 32);
    ASSERT_TRUE(target.ok());
    RasterImage img;
    RandomColours(img, rng, 3, 2);
    const RECT rects[] = {{-7, -5, 100, 100}, {-1000000000, -1000000000, 1000000000, 1000000000}};
    for (const RECT& r : rects) {
        RECT rc = r;
        ASSERT_EQ(img.Tile(target.dc(), &rc), 1);
        for (int Y = 0; Y < 20; Y++)
            for (int X = 0; X < 20; X++)
                ASSERT_EQ(target.colour(X, Y), Rgb(img, (X - rc.left) % 3, (Y - rc.top) % 2)) << X << "," << Y;
    }
}

// Tile refuses what it cannot tile, instead of looping for ever on an image
// without width or height.
TEST_F(RasterBlit, TileRefusals)
{
    WinTarget target(8, 8, 32);
    ASSERT_TRUE(target.ok());
    RECT rc = {0, 0, 8, 8};
    RasterImage flat(0u, 5u, 24u), thin(5u, 0u, 24u), empty, one(1u, 1u, 24u);
    EXPECT_EQ(flat.Tile(target.dc(), &rc), 0);
    EXPECT_EQ(thin.Tile(target.dc(), &rc), 0);
    EXPECT_EQ(empty.Tile(target.dc(), &rc), 0);
    EXPECT_EQ(one.Tile(NULL, &rc), 0);
    EXPECT_EQ(one.Tile(target.dc(), nullptr), 0);
    RECT none = {5, 5, 5, 9};
    EXPECT_EQ(one.Tile(target.dc(), &none), 1);
}
