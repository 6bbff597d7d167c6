// Palette and pixel access: packed indices, colours, the nearest-colour search
// and its cache, standard palettes and lines.
#include <gtest/gtest.h>

#include <rasterimage.h>
#include "test_raster.h"

namespace {

TEST(RasterPixels, FourBitPixelsShareBytesHighNibbleFirst)
{
    RasterImage img(6, 2, 4, 0);
    img.Clear(0);
    img.SetPixelIndex(3, 0, 0x1F);
    EXPECT_EQ(0x0F, img.GetBits(0)[1]);
    img.GetBits(0)[1] = 0xA5;
    EXPECT_EQ(0x0A, img.GetPixelIndex(2, 0));
    EXPECT_EQ(0x05, img.GetPixelIndex(3, 0));
}

TEST(RasterPixels, OneBitPixelsFromTheTopBit)
{
    RasterImage img(12, 1, 1, 0);
    img.Clear(0);
    img.SetPixelIndex(9, 0, 1);
    EXPECT_EQ(0x40, img.GetBits(0)[1]);
    EXPECT_EQ(1, img.GetPixelIndex(9, 0));
    img.SetPixelIndex(9, 0, 2);  // only the low bit is kept
    EXPECT_EQ(0, img.GetPixelIndex(9, 0));
}

TEST(RasterPixels, OutsideTheImage)
{
    RasterImage img(4, 4, 8, 0);
    img.Clear(0);
    img.SetPixelIndex(0, 0, 42);
    EXPECT_EQ(42, img.GetPixelIndex(-1, 0));
    img.SetTransIndex(7);
    EXPECT_EQ(7, img.GetPixelIndex(-1, 0));
    img.SetPixelIndex(4, 0, 9);  // ignored
    EXPECT_EQ(42, img.GetPixelIndex(0, 0));

    RasterImage rgb(2, 2, 24, 0);
    rgb.Clear(0x11);
    RGBQUAD tc = Quad(0, 0, 0);
    tc.rgbReserved = 0;
    rgb.SetTransColor(tc);
    EXPECT_EQ(0, rgb.GetPixelColor(1, 1).rgbReserved);
    EXPECT_EQ(0x11, rgb.GetPixelColor(5, 5).rgbRed);  // the first pixel stands in
}

TEST(RasterPixels, ColourOfPaletteAndTrueColourPixels)
{
    RasterImage pal(2, 2, 8, 0);
    pal.SetPaletteColor(5, 1, 2, 3, 4);
    pal.SetPixelIndex(1, 1, 5);
    RGBQUAD c = pal.GetPixelColor(1, 1);
    EXPECT_EQ(1, c.rgbRed);
    EXPECT_EQ(4, c.rgbReserved);

    RasterImage rgb(2, 2, 24, 0);
    rgb.SetPixelColor(1, 0, Quad(10, 20, 30, 40), true);  // no plane: alpha dropped
    EXPECT_EQ(30, rgb.GetBits(0)[3]);
    EXPECT_EQ(20, rgb.GetBits(0)[4]);
    EXPECT_EQ(10, rgb.GetBits(0)[5]);
    rgb.AlphaCreate();
    rgb.SetPixelColor(1, 0, Quad(10, 20, 30, 40), true);
    EXPECT_EQ(40, rgb.GetPixelColor(1, 0, true).rgbReserved);
    EXPECT_EQ(0, rgb.GetPixelColor(1, 0, false).rgbReserved);
    rgb.SetPixelColor(0, 0, RGB(7, 8, 9));
    EXPECT_EQ(9, rgb.GetPixelColor(0, 0).rgbBlue);
    EXPECT_EQ((BYTE)((117 * 9 + 601 * 8 + 306 * 7) >> 10), rgb.GetPixelGray(0, 0));
}

TEST(RasterPixels, TransparencyTests)
{
    RasterImage rgb(2, 2, 24, 0);
    rgb.Clear(0);
    EXPECT_FALSE(rgb.IsTransparent(0, 0));
    rgb.AlphaCreate();
    rgb.AlphaSet(0, 0, 0);
    EXPECT_TRUE(rgb.IsTransparent(0, 0));
    EXPECT_FALSE(rgb.IsTransparent(1, 0));

    RasterImage pal(2, 2, 8, 0);
    pal.Clear(3);
    pal.SetTransIndex(3);
    EXPECT_TRUE(pal.IsTransparent(1, 1));
    pal.SetPixelIndex(1, 1, 4);
    EXPECT_FALSE(pal.IsTransparent(1, 1));
}

TEST(RasterPalette, NearestColourTiesAndLimits)
{
    RasterImage img(1, 1, 8, 0);
    img.SetPaletteColor(10, 100, 100, 100);
    img.SetPaletteColor(11, 100, 100, 100);
    img.SetPaletteColor(0, 255, 255, 255);
    // Entries 1..9 and 12.. are black; white is 0.
    EXPECT_EQ(10, img.GetNearestIndex(Quad(101, 100, 99)));
    EXPECT_EQ(0, img.GetNearestIndex(Quad(250, 250, 250)));
    EXPECT_EQ(1, img.GetNearestIndex(Quad(0, 0, 0)));
    img.SetClrImportant(4);
    EXPECT_EQ(4u, img.GetClrImportant());
    EXPECT_EQ(1, img.GetNearestIndex(Quad(101, 100, 99)));  // only 0..3 searched
}

TEST(RasterPalette, NearestColourCacheIsClearedByEveryPaletteOrImageChange)
{
    RasterImage img(1, 1, 8, 0);
    img.SetGrayPalette();
    RGBQUAD c = Quad(200, 200, 200);
    ASSERT_EQ(200, img.GetNearestIndex(c));
    img.SetPaletteColor(9, 200, 200, 200);
    EXPECT_EQ(9, img.GetNearestIndex(c));
    img.SetGrayPalette();
    EXPECT_EQ(200, img.GetNearestIndex(c));
    img.SetStdPalette();
    EXPECT_EQ(229, img.GetNearestIndex(c));  // CECECE and C2C2C2 tie: the lower index
    img.BlendPalette(RGB(0, 0, 0), 100);
    EXPECT_EQ(0, img.GetNearestIndex(c));
    img.SetGrayPalette();
    ASSERT_EQ(200, img.GetNearestIndex(c));
    img.Create(1, 1, 8, 0);  // a zeroed palette
    EXPECT_EQ(0, img.GetNearestIndex(c));
    img.SetGrayPalette();
    ASSERT_EQ(200, img.GetNearestIndex(c));
    img.SwapIndex(200, 3);
    EXPECT_EQ(3, img.GetNearestIndex(c));
}

TEST(RasterPalette, SetPaletteForms)
{
    RasterImage img(1, 1, 4, 0);
    BYTE red[16];
    for (int i = 0; i < 16; i++)
        red[i] = (BYTE)(i * 3);
    img.SetPalette(16, red);
    RGBQUAD e = img.GetPaletteColor(5);
    EXPECT_EQ(15, e.rgbRed);
    EXPECT_EQ(15, e.rgbGreen);
    EXPECT_EQ(15, e.rgbBlue);
    rgb_color rgb[2] = {{1, 2, 3}, {4, 5, 6}};
    img.SetPalette(rgb, 2);
    EXPECT_EQ(6, img.GetPaletteColor(1).rgbBlue);
    img.SetPalette(static_cast<RGBQUAD*>(nullptr), 256);  // nothing to copy
    EXPECT_EQ(6, img.GetPaletteColor(1).rgbBlue);
    BYTE r, g, b;
    EXPECT_TRUE(img.GetPaletteColor(1, &r, &g, &b));
    EXPECT_EQ(5, g);
    EXPECT_FALSE(img.GetPaletteColor(16, &r, &g, &b));
    EXPECT_EQ(0, img.GetPaletteColor(200).rgbRed);
}

TEST(RasterPalette, GreyPalettesAndTheGreyTest)
{
    RasterImage img(1, 1, 4, 0);
    img.SetGrayPalette();
    EXPECT_EQ(17, img.GetPaletteColor(1).rgbRed);
    EXPECT_EQ(255, img.GetPaletteColor(15).rgbRed);
    EXPECT_FALSE(img.IsGrayScale());  // entry 1 is 17, not 1
    for (int i = 0; i < 16; i++)
        img.SetPaletteColor((BYTE)i, (BYTE)i, (BYTE)i, (BYTE)i);
    EXPECT_TRUE(img.IsGrayScale());  // a 16-entry (i, i, i) palette counts

    RasterImage bw(1, 1, 1, 0);
    bw.SetGrayPalette();
    EXPECT_FALSE(bw.IsGrayScale());
    RasterImage ramp(1, 1, 8, 0);
    ramp.SetGrayPalette();
    EXPECT_TRUE(ramp.IsGrayScale());
    RasterImage rgb(1, 1, 24, 0);
    EXPECT_FALSE(rgb.IsGrayScale());
}

TEST(RasterPalette, StandardPalettes)
{
    RasterImage img(1, 1, 8, 0);
    img.SetStdPalette();
    EXPECT_EQ(0xC0, img.GetPaletteColor(8).rgbRed);
    EXPECT_EQ(0xDC, img.GetPaletteColor(8).rgbGreen);
    EXPECT_EQ(0xF2, img.GetPaletteColor(226).rgbRed);
    EXPECT_EQ(0xFF, img.GetPaletteColor(255).rgbBlue);
    RasterImage four(1, 1, 4, 0);
    four.SetStdPalette();
    EXPECT_EQ(0x80, four.GetPaletteColor(8).rgbGreen);
    EXPECT_EQ(0xFF, four.GetPaletteColor(9).rgbRed);
    EXPECT_EQ(0, four.GetPaletteColor(9).rgbBlue);
}

TEST(RasterPalette, BlendSwapAndImportantColours)
{
    RasterImage img(2, 1, 8, 0);
    img.SetGrayPalette();
    img.SetPaletteColor(1, 0, 0, 0, 99);
    img.BlendPalette(RGB(200, 100, 50), 150);
    RGBQUAD e = img.GetPaletteColor(1);
    EXPECT_EQ(200, e.rgbRed);
    EXPECT_EQ(50, e.rgbBlue);
    EXPECT_EQ(99, e.rgbReserved);

    img.SetGrayPalette();
    img.SetPixelIndex(0, 0, 1);
    img.SetPixelIndex(1, 0, 2);
    img.SwapIndex(1, 2);
    EXPECT_EQ(2, img.GetPixelIndex(0, 0));
    EXPECT_EQ(1, img.GetPixelIndex(1, 0));
    EXPECT_EQ(2, img.GetPaletteColor(1).rgbRed);

    RasterImage small(2, 1, 1, 0);
    small.SwapIndex(0, 200);  // no entry 200: nothing happens
    small.SetClrImportant(300);
    EXPECT_EQ(0u, small.GetClrImportant());
    small.SetClrImportant(40);
    EXPECT_EQ(2u, small.GetClrImportant());
    RasterImage four(1, 1, 4, 0);
    four.SetClrImportant(40);
    EXPECT_EQ(16u, four.GetClrImportant());
}

TEST(RasterPixels, ColourConversions)
{
    RGBQUAD q = RasterImage::RGBtoRGBQUAD(0x00332211);
    EXPECT_EQ(0x11, q.rgbRed);
    EXPECT_EQ(0x33, q.rgbBlue);
    EXPECT_EQ(0x00332211u, RasterImage::RGBQUADtoRGB(q));
}

TEST(RasterLines, StepsAlongTheLongerAxis)
{
    RasterImage img(6, 6, 8, 0);
    img.Clear(0);
    img.SetPaletteColor(1, 255, 255, 255);
    img.DrawLine(0, 3, 0, 1, Quad(255, 255, 255));
    int set = 0;
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++)
            set += img.GetPixelIndex(x, y);
    EXPECT_EQ(4, set);
    EXPECT_EQ(1, img.GetPixelIndex(0, 0));
    EXPECT_EQ(1, img.GetPixelIndex(1, 0));
    EXPECT_EQ(1, img.GetPixelIndex(2, 1));
    EXPECT_EQ(1, img.GetPixelIndex(3, 1));

    img.Clear(0);
    img.DrawLine(5, 5, 5, 5, RGB(255, 255, 255));
    EXPECT_EQ(1, img.GetPixelIndex(5, 5));
    img.DrawLine(-10, 20, 2, 2, RGB(255, 255, 255));  // clipped by the pixel writes
    EXPECT_EQ(1, img.GetPixelIndex(0, 2));
    EXPECT_EQ(1, img.GetPixelIndex(5, 2));
}

}  // namespace
