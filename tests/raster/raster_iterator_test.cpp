// The row cursor of the codecs, and Flip.
#include <gtest/gtest.h>

#include <cstring>

#include <rasteriterator.h>

namespace {

TEST(RasterIterator, WalksTopToBottom)
{
    RasterImage img(4, 3, 8, 0);
    img.Clear(0);
    RasterIterator it(&img);
    it.MoveToTop();
    BYTE rows[3][4] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}};
    int n = 0;
    do {
        it.SetRow(rows[n++], 4);
    } while (it.PrevRow());
    EXPECT_EQ(3, n);
    EXPECT_EQ(1, img.GetPixelIndex(0, 2));  // the first row written is the top row
    EXPECT_EQ(3, img.GetPixelIndex(3, 0));
    // Past the bottom the cursor stays on the bottom row.
    BYTE again[4] = {9, 9, 9, 9};
    it.SetRow(again, 4);
    EXPECT_EQ(9, img.GetPixelIndex(0, 0));
    EXPECT_FALSE(it.RowValid());
}

TEST(RasterIterator, SetYAndRowCopies)
{
    RasterImage img(5, 3, 8, 0);  // rows of 8 bytes
    img.Clear(0);
    RasterIterator it(&img);
    EXPECT_EQ(img.GetBits(0) + 8, it.GetRow(1));
    it.SetY(3);
    it.SetY(-1);
    EXPECT_EQ(img.GetBits(0) + 8, it.GetRow());
    EXPECT_TRUE(it.RowValid());
    BYTE src[20];
    memset(src, 0x77, sizeof(src));
    it.SetRow(src, 100);  // longer than a row: one padded row
    EXPECT_EQ(0x77, img.GetBits(0)[8 + 7]);
    EXPECT_EQ(0, img.GetBits(0)[16]);
    it.GetRow(0);
    it.SetRow(src, -1);
    EXPECT_EQ(0x77, img.GetBits(0)[7]);
    BYTE out[20] = {};
    it.GetRow(out, 100);
    EXPECT_EQ(0x77, out[7]);
    EXPECT_EQ(0, out[8]);
}

TEST(RasterIterator, NullAndEmptyImages)
{
    RasterIterator none(nullptr);
    BYTE buf[4] = {};
    EXPECT_EQ(nullptr, none.GetRow());
    none.SetRow(buf, 4);
    none.MoveToTop();
    EXPECT_FALSE(none.RowValid());
    RasterImage flat(10, 0, 8, 0);  // a row length but no rows
    RasterIterator it(&flat);
    EXPECT_EQ(nullptr, it.GetRow());
    it.MoveToTop();
    EXPECT_EQ(nullptr, it.GetRow());
    it.SetRow(buf, 4);
}

TEST(RasterFlip, RowsAndAlphaTurnOver)
{
    RasterImage img(3, 3, 24, 5);
    img.Clear(0);
    img.SetPixelColor(1, 0, RGB(9, 8, 7));
    img.AlphaCreate();
    img.AlphaSet(2, 0, 33);
    img.SetXDPI(150);
    ASSERT_TRUE(img.Flip());
    EXPECT_EQ(9, img.GetPixelColor(1, 2).rgbRed);
    EXPECT_EQ(0, img.GetPixelColor(1, 0).rgbRed);
    EXPECT_EQ(33, img.AlphaGet(2, 2));
    EXPECT_EQ(150, img.GetXDPI());
    EXPECT_EQ(5u, img.GetType());

    RasterImage pal(2, 2, 1, 0);
    pal.SetGrayPalette();
    pal.Clear(0);
    pal.SetPixelIndex(1, 1, 1);
    ASSERT_TRUE(pal.Flip());
    EXPECT_EQ(1, pal.GetPixelIndex(1, 0));
    EXPECT_EQ(255, pal.GetPaletteColor(1).rgbRed);
    RasterImage empty;
    EXPECT_FALSE(empty.Flip());
}

}  // namespace
