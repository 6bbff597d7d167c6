// The alpha plane and the alpha palette.
#include <gtest/gtest.h>

#include <rasterimage.h>

namespace {

TEST(RasterAlpha, CreateKeepsAnExistingPlane)
{
    RasterImage img(3, 2, 24, 0);
    EXPECT_EQ(0, img.AlphaGet(0, 0));  // no plane: transparent
    img.AlphaCreate();
    EXPECT_EQ(255, img.AlphaGet(2, 1));
    img.AlphaSet(2, 1, 9);
    img.AlphaSet(3, 1, 9);  // outside: ignored
    img.AlphaCreate();
    EXPECT_EQ(9, img.AlphaGet(2, 1));
    EXPECT_EQ(9, img.AlphaGetBits()[1 * 3 + 2]);  // rows bottom-up, stride = width
    img.AlphaInvert();
    EXPECT_EQ(246, img.AlphaGet(2, 1));
    img.AlphaSet((BYTE)7);
    EXPECT_EQ(7, img.AlphaGet(0, 0));
    img.AlphaClear();
    EXPECT_EQ(0, img.AlphaGet(1, 1));
    img.AlphaDelete();
    EXPECT_FALSE(img.AlphaIsValid());
}

TEST(RasterAlpha, CopyNeedsTheSameSize)
{
    RasterImage a(2, 2, 24, 0), b(3, 2, 24, 0), c(2, 2, 8, 0);
    a.AlphaCreate();
    a.AlphaSet(1, 1, 50);
    a.AlphaSetMax(128);
    b.AlphaCreate();
    EXPECT_FALSE(b.AlphaCopy(a));
    EXPECT_EQ(255, b.AlphaGet(0, 0));
    EXPECT_TRUE(c.AlphaCopy(a));
    EXPECT_EQ(50, c.AlphaGet(1, 1));
    EXPECT_EQ(128, c.AlphaGetMax());
}

TEST(RasterAlpha, SetFromGreyImages)
{
    RasterImage target(3, 2, 24, 0);
    RasterImage grey(3, 2, 8, 0);
    grey.SetGrayPalette();
    grey.SetPixelIndex(2, 1, 77);
    ASSERT_TRUE(target.AlphaSet(grey));
    EXPECT_EQ(77, target.AlphaGet(2, 1));
    RasterImage colour(3, 2, 8, 0);
    colour.SetStdPalette();
    EXPECT_FALSE(target.AlphaSet(colour));
    // A 16-entry (i, i, i) palette is grey too; its packed rows are read pixel by pixel.
    RasterImage four(3, 2, 4, 0);
    for (int i = 0; i < 16; i++)
        four.SetPaletteColor((BYTE)i, (BYTE)i, (BYTE)i, (BYTE)i);
    four.Clear(0);
    four.SetPixelIndex(1, 1, 12);
    ASSERT_TRUE(target.AlphaSet(four));
    EXPECT_EQ(12, target.AlphaGet(1, 1));
    EXPECT_EQ(0, target.AlphaGet(2, 1));
}

TEST(RasterAlpha, PaletteAlpha)
{
    RasterImage img(2, 1, 8, 0);
    EXPECT_FALSE(img.AlphaPaletteIsValid());
    img.SetPaletteColor(4, 1, 2, 3, 200);
    EXPECT_TRUE(img.AlphaPaletteIsValid());
    img.SetPixelIndex(1, 0, 4);
    RasterImage split;
    ASSERT_TRUE(img.AlphaPaletteSplit(&split));
    EXPECT_EQ(200, split.GetPixelIndex(1, 0));
    EXPECT_TRUE(split.IsGrayScale());
    img.AlphaPaletteClear();
    EXPECT_FALSE(img.AlphaPaletteIsValid());
    EXPECT_EQ(3, img.GetPaletteColor(4).rgbBlue);
}

TEST(RasterAlpha, FlipMirrorAndSplit)
{
    RasterImage img(3, 2, 24, 0);
    img.AlphaCreate();
    img.AlphaSet(0, 0, 1);
    img.AlphaSet(2, 1, 2);
    ASSERT_TRUE(img.AlphaFlip());
    EXPECT_EQ(1, img.AlphaGet(0, 1));
    EXPECT_EQ(2, img.AlphaGet(2, 0));
    ASSERT_TRUE(img.AlphaMirror());
    EXPECT_EQ(1, img.AlphaGet(2, 1));
    EXPECT_EQ(2, img.AlphaGet(0, 0));
    RasterImage split;
    ASSERT_TRUE(img.AlphaSplit(&split));
    EXPECT_EQ(8, split.GetBpp());
    for (long y = 0; y < 2; y++)
        for (long x = 0; x < 3; x++)
            EXPECT_EQ(img.AlphaGet(x, y), split.GetPixelIndex(x, y));
    EXPECT_FALSE(img.AlphaSplit(nullptr));
    RasterImage none(2, 2, 24, 0);
    EXPECT_FALSE(none.AlphaFlip());
    EXPECT_FALSE(none.AlphaSplit(&split));
}

TEST(RasterAlpha, StripTrueColourBlendsWithTheBackground)
{
    RasterImage img(1, 1, 24, 0);
    RGBQUAD c = {50, 100, 200, 0};  // blue, green, red
    img.SetPixelColor(0, 0, c);
    img.AlphaCreate();
    img.AlphaSet(0, 0, 128);
    img.AlphaStrip();
    RGBQUAD out = img.GetPixelColor(0, 0);
    EXPECT_EQ(100, out.rgbRed);
    EXPECT_EQ(50, out.rgbGreen);
    EXPECT_EQ(25, out.rgbBlue);
    EXPECT_FALSE(img.AlphaIsValid());
}

TEST(RasterAlpha, StripPaletteImageBecomesTrueColour)
{
    RasterImage img(2, 1, 8, 7);
    img.SetPaletteColor(1, 200, 100, 50, 255);
    img.SetPaletteColor(2, 200, 100, 50, 0);
    img.SetPixelIndex(0, 0, 1);
    img.SetPixelIndex(1, 0, 2);
    RGBQUAD white = {255, 255, 255, 0};
    img.SetTransColor(white);
    img.AlphaStrip();
    EXPECT_EQ(24, img.GetBpp());
    EXPECT_EQ(0u, img.GetType());
    EXPECT_EQ(200, img.GetPixelColor(0, 0).rgbRed);
    EXPECT_EQ(255, img.GetPixelColor(1, 0).rgbBlue);  // fully transparent: background
}

// Palette levels and the plane multiply: 128 of 255 through an opaque plane
// pixel, nothing through a clear one.
TEST(RasterAlpha, StripPaletteImageWithPlaneMultipliesBothLevels)
{
    RasterImage img(2, 1, 8, 7);
    img.SetPaletteColor(1, 200, 100, 50, 128);
    img.SetPixelIndex(0, 0, 1);
    img.SetPixelIndex(1, 0, 1);
    img.AlphaCreate();
    img.AlphaSet(0, 0, 255);
    img.AlphaSet(1, 0, 0);
    RGBQUAD white = {255, 255, 255, 0};
    img.SetTransColor(white);
    img.AlphaStrip();
    ASSERT_EQ(24, img.GetBpp());
    const RGBQUAD half = img.GetPixelColor(0, 0), clear = img.GetPixelColor(1, 0);
    EXPECT_EQ(227, half.rgbRed);  // (200 * 128 + 255 * 127) / 255
    EXPECT_EQ(177, half.rgbGreen);
    EXPECT_EQ(152, half.rgbBlue);
    EXPECT_EQ(255, clear.rgbRed);
    EXPECT_EQ(255, clear.rgbGreen);
    EXPECT_EQ(255, clear.rgbBlue);
    EXPECT_FALSE(img.AlphaIsValid());
}

}  // namespace
