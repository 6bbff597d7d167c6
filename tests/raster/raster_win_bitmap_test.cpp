// Images to and from GDI bitmaps and icons through the platform's GDI:
// MakeBitmap in both forms, CreateFromHBITMAP of sections and device
// bitmaps, CreateFromHICON of colour and monochrome icons.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <raster.h>

#include "desktop_fixture.h"
#include <desktop/desktop.h>
#include "win_target.h"

namespace {

class RasterBitmap : public DesktopTest {};

void Scramble(RasterImage& img, std::mt19937& rng)
{
    BYTE* bits = img.GetBits(0);
    for (size_t i = 0; i < (size_t)img.GetEffWidth() * img.GetHeight(); i++)
        bits[i] = (BYTE)rng();
    for (DWORD i = 0; i < img.GetNumColors(); i++)
        img.SetPaletteColor((BYTE)i, (BYTE)rng(), (BYTE)rng(), (BYTE)rng());
}

DWORD Rgb(const RasterImage& img, long x, long y)
{
    RGBQUAD c = img.GetPixelColor(x, y, false);
    return ((DWORD)c.rgbRed << 16) | ((DWORD)c.rgbGreen << 8) | c.rgbBlue;
}

void ExpectSameColours(const RasterImage& a, const RasterImage& b)
{
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    for (long y = 0; y < (long)a.GetHeight(); y++)
        for (long x = 0; x < (long)a.GetWidth(); x++)
            ASSERT_EQ(Rgb(a, x, y), Rgb(b, x, y)) << x << "," << y;
}

// A 1-bit bitmap from top-down rows given as strings of '0' and '1'.
HBITMAP MonoBitmap(const std::vector<std::string>& rows)
{
    const int w = (int)rows[0].size(), h = (int)rows.size();
    const int stride = (w + 15) / 16 * 2;
    std::vector<BYTE> bits((size_t)stride * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (rows[y][x] == '1')
                bits[(size_t)y * stride + x / 8] |= (BYTE)(0x80 >> (x % 8));
    return CreateBitmap(w, h, 1, 1, bits.data());
}

}  // namespace

// Both forms of MakeBitmap hold the image's pixels: the section's bits are
// the rows byte for byte, and either bitmap reads back to the same colours.
TEST_F(RasterBitmap, MakeBitmapAndReadItBack)
{
    std::mt19937 rng(31);
    WinTarget screenlike(4, 4, 32);
    ASSERT_TRUE(screenlike.ok());
    for (int bpp : {1, 4, 8, 24}) {
        SCOPED_TRACE(std::to_string(bpp) + " bits");
        RasterImage img(1 + rng() % 40, 1 + rng() % 20, (DWORD)bpp);
        Scramble(img, rng);

        HBITMAP section = img.MakeBitmap();
        ASSERT_NE(section, nullptr);
        DIBSECTION ds;
        ASSERT_EQ(GetObjectA(section, sizeof(ds), &ds), (int)sizeof(ds));
        EXPECT_EQ(ds.dsBm.bmWidth, (LONG)img.GetWidth());
        EXPECT_EQ(ds.dsBm.bmHeight, (LONG)img.GetHeight());
        EXPECT_EQ(ds.dsBm.bmBitsPixel, bpp);
        EXPECT_EQ(memcmp(ds.dsBm.bmBits, img.GetBits(0), (size_t)img.GetEffWidth() * img.GetHeight()), 0);
        RasterImage back;
        ASSERT_TRUE(back.CreateFromHBITMAP(section)) << back.GetLastError();
        EXPECT_EQ(back.GetBpp(), bpp);
        ExpectSameColours(img, back);
        // A palette handle changes nothing on a true-colour screen.
        std::vector<BYTE> lp(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY), 0);
        LOGPALETTE* logical = reinterpret_cast<LOGPALETTE*>(lp.data());
        logical->palVersion = 0x300;
        logical->palNumEntries = 2;
        HPALETTE palette = CreatePalette(logical);
        ASSERT_NE(palette, nullptr);
        RasterImage back3;
        ASSERT_TRUE(back3.CreateFromHBITMAP(section, palette)) << back3.GetLastError();
        ExpectSameColours(img, back3);
        EXPECT_TRUE(DeleteObject(palette));
        EXPECT_TRUE(DeleteObject(section));

        HBITMAP device = img.MakeBitmap(screenlike.dc());
        ASSERT_NE(device, nullptr);
        RasterImage back2;
        ASSERT_TRUE(back2.CreateFromHBITMAP(device)) << back2.GetLastError();
        EXPECT_EQ(back2.GetBpp(), 24);  // the 32-bit bitmap comes back as true colour
        ExpectSameColours(img, back2);
        EXPECT_TRUE(DeleteObject(device));
    }
    RasterImage empty;
    EXPECT_EQ(empty.MakeBitmap(), nullptr);
    EXPECT_EQ(empty.MakeBitmap(screenlike.dc()), nullptr);
}

// A section at 16 and 32 bits and a monochrome device bitmap read back exactly.
TEST_F(RasterBitmap, CreateFromHBitmapOfOtherDepths)
{
    std::mt19937 rng(8);
    for (int bpp : {16, 32}) {
        SCOPED_TRACE(std::to_string(bpp) + " bits");
        WinTarget t(13, 6, bpp);
        ASSERT_TRUE(t.ok());
        t.scramble(rng);
        t.deselect();
        RasterImage img;
        ASSERT_TRUE(img.CreateFromHBITMAP(t.bitmap())) << img.GetLastError();
        EXPECT_EQ(img.GetBpp(), 24);
        for (int Y = 0; Y < 6; Y++)
            for (int X = 0; X < 13; X++) {
                // 16 bits: each channel's five bits on top; how GDI fills
                // the three below is its own affair.
                const DWORD mask = bpp == 16 ? 0xF8F8F8 : 0xFFFFFF;
                ASSERT_EQ(Rgb(img, X, 5 - Y) & mask, t.colour(X, Y)) << X << "," << Y;
            }
    }

    HBITMAP mono = MonoBitmap({"1010", "0110"});
    RasterImage img;
    ASSERT_TRUE(img.CreateFromHBITMAP(mono));
    EXPECT_EQ(img.GetBpp(), 1);
    const char* want[] = {"1010", "0110"};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(Rgb(img, x, 1 - y), want[y][x] == '1' ? 0xFFFFFFu : 0u) << x << "," << y;
    DeleteObject(mono);

    RasterImage none;
    EXPECT_FALSE(none.CreateFromHBITMAP(NULL));
    EXPECT_FALSE(none.CreateFromHBITMAP((HBITMAP)GetStockObject(DEFAULT_GUI_FONT)));
    EXPECT_STRNE(none.GetLastError(), "");
}

// A colour icon: its colours, and alpha 0 exactly where the mask is set.
TEST_F(RasterBitmap, ColourIconGivesColoursAndMaskAsAlpha)
{
    std::mt19937 rng(12);
    WinTarget colour(6, 4, 32);
    ASSERT_TRUE(colour.ok());
    colour.scramble(rng);
    const std::vector<std::string> mask = {"110000", "100001", "000011", "000111"};
    colour.deselect();
    HBITMAP maskBitmap = MonoBitmap(mask);
    ICONINFO ii = {TRUE, 0, 0, maskBitmap, colour.bitmap()};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);

    RasterImage img;
    ASSERT_TRUE(img.CreateFromHICON(icon)) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 6u);
    EXPECT_EQ(img.GetHeight(), 4u);
    ASSERT_TRUE(img.AlphaIsValid());
    for (int Y = 0; Y < 4; Y++)
        for (int X = 0; X < 6; X++) {
            EXPECT_EQ(Rgb(img, X, 3 - Y), colour.colour(X, Y)) << X << "," << Y;
            EXPECT_EQ(img.AlphaGet(X, 3 - Y), mask[Y][X] == '1' ? 0 : 255) << X << "," << Y;
        }
    DestroyIcon(icon);
    DeleteObject(maskBitmap);
}

// A monochrome icon has only its mask bitmap, twice as high: the AND mask
// over the image. The image is the lower half, the alpha the upper.
TEST_F(RasterBitmap, MonochromeIconGivesAOneBitImage)
{
    HBITMAP both = MonoBitmap({"1100", "0011",    // AND mask
                               "0101", "1001"});  // the image
    ICONINFO ii = {TRUE, 0, 0, both, NULL};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    RasterImage img;
    ASSERT_TRUE(img.CreateFromHICON(icon)) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 4u);
    ASSERT_EQ(img.GetHeight(), 2u);
    EXPECT_EQ(img.GetBpp(), 1);
    ASSERT_TRUE(img.AlphaIsValid());
    const char* picture[] = {"0101", "1001"};
    const char* andMask[] = {"1100", "0011"};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++) {
            EXPECT_EQ(Rgb(img, x, 1 - y), picture[y][x] == '1' ? 0xFFFFFFu : 0u) << x << "," << y;
            EXPECT_EQ(img.AlphaGet(x, 1 - y), andMask[y][x] == '1' ? 0 : 255) << x << "," << y;
        }
    DestroyIcon(icon);
    DeleteObject(both);

    RasterImage none;
    EXPECT_FALSE(none.CreateFromHICON(NULL));
    EXPECT_FALSE(none.CreateFromHICON(icon));  // destroyed
}

// A platform call that fails inside each operation: the operation says so
// (or, for drawing, leaves the target as it was) and keeps nothing half made.
TEST_F(RasterBitmap, PlatformFailuresAreReported)
{
    std::mt19937 rng(4);
    RasterImage img(6u, 5u, 24u);
    Scramble(img, rng);
    desktop::FailOnce("GlobalAlloc");
    EXPECT_EQ(img.CopyToHandle(), nullptr);
    desktop::FailOnce("CreateDIBSection");
    EXPECT_EQ(img.MakeBitmap(), nullptr);

    HBITMAP section = img.MakeBitmap();
    ASSERT_NE(section, nullptr);
    for (const char* call : {"GetDIBits", "GetDC"}) {
        SCOPED_TRACE(call);
        RasterImage back;
        desktop::FailOnce(call);
        EXPECT_FALSE(back.CreateFromHBITMAP(section));
        EXPECT_STREQ(back.GetLastError(), std::string(call) == "GetDIBits"
                                              ? "GetDIBits failed"
                                              : "CreateFromHBITMAP: no screen device context");
    }
    HBITMAP mask = CreateBitmap(6, 5, 1, 1, nullptr);
    ICONINFO ii = {TRUE, 0, 0, mask, section};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    for (const char* call : {"GetIconInfo", "GetDIBits"}) {
        SCOPED_TRACE(call);
        RasterImage back;
        desktop::FailOnce(call);
        EXPECT_FALSE(back.CreateFromHICON(icon));
        EXPECT_FALSE(back.IsValid());
    }
    DestroyIcon(icon);
    DeleteObject(mask);
    DeleteObject(section);

    // Scaled drawing without its scratch bitmap leaves the target alone.
    WinTarget target(20, 20, 32);
    ASSERT_TRUE(target.ok());
    target.scramble(rng);
    const std::vector<DWORD> before = target.snapshot();
    desktop::FailOnce("CreateDIBSection");
    EXPECT_EQ(img.Draw(target.dc(), 0, 0, 12, 10), 1);
    EXPECT_EQ(target.snapshot(), before);
}
