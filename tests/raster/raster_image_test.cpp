// The image object: creation, copies, moves, ghosts, array import, bit fields.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <rasterimage.h>
#include "test_raster.h"

namespace {

// An image whose protected members a test may reach.
class OpenImage : public RasterImage {
public:
    using RasterImage::RasterImage;
    using RasterImage::Bitfield2RGB;
    using RasterImage::CopyInfo;
    using RasterImage::Ghost;
    using RasterImage::RGBtoBGR;
    const RasterImageInfo& Info() const { return info; }
    RasterImageInfo& MutableInfo() { return info; }
    const BITMAPINFOHEADER& Header() const { return header; }
};

TEST(RasterImageCreate, RaisesDepthAndSizesTheBlock)
{
    OpenImage img;
    ASSERT_NE(nullptr, img.Create(10, 10, 2, 0));
    EXPECT_EQ(4, img.GetBpp());
    EXPECT_EQ(16u, img.GetNumColors());
    EXPECT_EQ(8u, img.GetEffWidth());
    EXPECT_EQ(40 + 64 + 80, img.GetSize());
    ASSERT_NE(nullptr, img.Create(3, 1, 32, 0));
    EXPECT_EQ(24, img.GetBpp());
    EXPECT_EQ(12u, img.GetEffWidth());
    EXPECT_EQ(0u, img.GetNumColors());
    EXPECT_EQ(nullptr, img.GetPalette());
    // The block starts with the header in file layout.
    const BYTE* dib = static_cast<const BYTE*>(img.GetDIB());
    EXPECT_EQ(40, dib[0]);
    EXPECT_EQ(3, dib[4]);
    EXPECT_EQ(24, dib[14]);
}

TEST(RasterImageCreate, EmptyRowsStillHaveHeaderAndPalette)
{
    RasterImage img;
    ASSERT_NE(nullptr, img.Create(0, 0, 8, 0));
    EXPECT_EQ(static_cast<BYTE*>(img.GetDIB()) + 40 + 1024, img.GetBits(0));
    EXPECT_EQ(nullptr, img.GetBits(1));
    EXPECT_EQ(0, img.GetPixelIndex(5, 5));  // no first pixel to fall back on
    RGBQUAD c = img.GetPixelColor(-1, -1);
    EXPECT_EQ(0, c.rgbRed);
}

TEST(RasterImageCreate, OversizedImagesFailWithoutAllocating)
{
    RasterImage img(10, 10, 8, 0);
    EXPECT_EQ(nullptr, img.Create(100000, 100000, 24, 0));
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());
    EXPECT_FALSE(img.IsValid());
    // Sizes that a 32-bit product would wrap into something small.
    EXPECT_EQ(nullptr, img.Create(0x80000000u, 2, 1, 0));
    EXPECT_EQ(nullptr, img.Create(0xFFFFFFFFu, 0xFFFFFFFFu, 24, 0));
    EXPECT_EQ(nullptr, img.Create(65536, 65536, 8, 0));  // 4 GiB of rows: past the 32-bit image size
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());
    EXPECT_EQ(nullptr, img.Create(0x80000000u, 0, 24, 0));  // width past a LONG
}

TEST(RasterImageState, FreshImageDefaults)
{
    OpenImage img;
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(nullptr, img.GetBits(0));
    EXPECT_EQ(96, img.GetXDPI());
    EXPECT_EQ(90, img.GetJpegQuality());
    EXPECT_EQ(-1, img.GetTransIndex());
    EXPECT_TRUE(img.IsEnabled());
    EXPECT_EQ(3780, img.Header().biXPelsPerMeter);
    img.SetXDPI(72);
    EXPECT_EQ(2835, img.Header().biXPelsPerMeter);
    img.SetFlags(0x10001, true);
    EXPECT_EQ(1u, img.GetFlags());
    img.SetFlags(0x10001, false);
    EXPECT_EQ(0x10001u, img.GetFlags());
    EXPECT_STREQ("RasterImage 1.0", RasterImage::GetVersion());
}

TEST(RasterImageState, ColorTypeAndTransColor)
{
    RasterImage img(2, 2, 8, 0);
    EXPECT_EQ(RASTER_COLORTYPE_PALETTE, img.GetColorType());
    img.AlphaCreate();
    EXPECT_EQ(RASTER_COLORTYPE_ALPHA, img.GetColorType());
    img.SetPaletteColor(3, 10, 20, 30, 40);
    img.SetTransIndex(3);
    RGBQUAD t = img.GetTransColor();
    EXPECT_EQ(10, t.rgbRed);
    EXPECT_EQ(40, t.rgbReserved);
    RasterImage rgb(2, 2, 24, 0);
    rgb.SetTransColor(Quad(1, 2, 3, 99));
    EXPECT_EQ(0, rgb.GetTransColor().rgbReserved);
    EXPECT_EQ(RASTER_COLORTYPE_COLOR, rgb.GetColorType());
}

TEST(RasterImageState, CompareColorsOrdersByBrightness)
{
    RGBQUAD dark = Quad(10, 10, 10), light = Quad(200, 200, 200);
    EXPECT_LT(RasterImage::CompareColors(&dark, &light), 0);
    EXPECT_EQ(0, RasterImage::CompareColors(&dark, &dark));
}

TEST(RasterImageCopy, CopiesPixelsPaletteAndPlanes)
{
    RasterImage src(3, 2, 8, 1);
    src.SetStdPalette();
    src.SetPixelIndex(2, 1, 77);
    src.AlphaCreate();
    src.AlphaSet(1, 1, 5);
    src.SetXDPI(300);
    RasterImage copy(src);
    EXPECT_EQ(77, copy.GetPixelIndex(2, 1));
    EXPECT_EQ(5, copy.AlphaGet(1, 1));
    EXPECT_EQ(300, copy.GetXDPI());
    EXPECT_EQ(1u, copy.GetType());
    EXPECT_NE(src.GetDIB(), copy.GetDIB());
    EXPECT_EQ(0, memcmp(src.GetPalette(), copy.GetPalette(), 1024));

    RasterImage nopix(src, false, false, false);
    EXPECT_EQ(0, memcmp(src.GetPalette(), nopix.GetPalette(), 1024));
    EXPECT_FALSE(nopix.AlphaIsValid());
    RasterImage rgb(4, 4, 24, 0);
    RasterImage rgbcopy(rgb, false);
    EXPECT_EQ(nullptr, rgbcopy.GetPalette());
}

TEST(RasterImageCopy, EmptySourceGivesEmptyCopy)
{
    RasterImage empty;
    RasterImage target(5, 5, 8, 0);
    target = empty;
    EXPECT_FALSE(target.IsValid());
    RasterImage copy(empty);
    EXPECT_FALSE(copy.IsValid());
    // An image emptied by a failed Create keeps its old size in its header.
    RasterImage failed(4, 4, 8, 0);
    failed.Create(100000, 100000, 24, 0);
    RasterImage copy2(failed);
    EXPECT_FALSE(copy2.IsValid());
}

TEST(RasterImageCopy, CopiesAreNeverGhostsOrLayers)
{
    OpenImage src(4, 4, 24, 0);
    OpenImage ghost;
    ghost.Ghost(&src);
    ASSERT_EQ(&src, ghost.Info().pGhost);
    RasterImage owner;
    ghost.MutableInfo().pParent = &owner;  // as if it were a layer of another image
    OpenImage copy(ghost);
    EXPECT_EQ(nullptr, copy.Info().pGhost);
    EXPECT_EQ(nullptr, copy.Info().pParent);
    EXPECT_NE(src.GetDIB(), copy.GetDIB());
    OpenImage info;
    info.CopyInfo(ghost);
    EXPECT_EQ(nullptr, info.Info().pGhost);
    EXPECT_EQ(nullptr, info.Info().pBits);  // no pointer into another image's block
}

TEST(RasterImageCopy, CopyIntoAGhostLeavesTheSharedBlockAlone)
{
    OpenImage src(4, 4, 8, 0);
    OpenImage ghost;
    ghost.Ghost(&src);
    RasterImage big(50, 50, 24, 0);
    ghost.Copy(big);
    EXPECT_EQ(src.GetDIB(), ghost.GetDIB());
    EXPECT_EQ(4u, ghost.GetWidth());
}

TEST(RasterImageMove, TransferEmptiesTheSource)
{
    RasterImage from(6, 3, 24, 4);
    from.AlphaCreate();
    void* dib = from.GetDIB();
    RasterImage to(2, 2, 8, 0);
    ASSERT_TRUE(to.Transfer(from));
    EXPECT_EQ(dib, to.GetDIB());
    EXPECT_TRUE(to.AlphaIsValid());
    EXPECT_EQ(4u, to.GetType());
    EXPECT_FALSE(from.IsValid());
    EXPECT_EQ(0, from.GetTransIndex());
    EXPECT_EQ(0u, from.GetWidth());
}

TEST(RasterImageMove, GhostsNeitherFreeNorHandOver)
{
    OpenImage src(4, 4, 24, 0);
    {
        OpenImage* ghost = new OpenImage;
        ghost->Ghost(&src);
        EXPECT_EQ(src.GetDIB(), ghost->GetDIB());
        EXPECT_FALSE(ghost->Destroy());
        EXPECT_EQ(nullptr, ghost->Create(2, 2, 8, 0));
        RasterImage thief;
        EXPECT_FALSE(thief.Transfer(*ghost));
        EXPECT_FALSE(thief.IsValid());
        delete ghost;
    }
    src.SetPixelColor(3, 3, Quad(1, 2, 3));  // the block is still alive
    EXPECT_EQ(2, src.GetPixelColor(3, 3).rgbGreen);
}

TEST(RasterImageArray, ThirtyTwoBitsFlippedCarryAlpha)
{
    // Two rows of two BGRA pixels; the first source row is the top of the picture.
    BYTE px[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    RasterImage img;
    ASSERT_TRUE(img.CreateFromArray(px, 2, 2, 32, 8, true));
    EXPECT_EQ(24, img.GetBpp());
    RGBQUAD top = img.GetPixelColor(0, 1);
    EXPECT_EQ(1, top.rgbBlue);
    EXPECT_EQ(3, top.rgbRed);
    EXPECT_EQ(4, top.rgbReserved);
    EXPECT_EQ(16, img.AlphaGet(1, 0));
}

TEST(RasterImageArray, CopiesAtMostOneRowAndRejectsBadInput)
{
    std::vector<BYTE> px(2 * 16, 0xAB);
    RasterImage img;
    ASSERT_TRUE(img.CreateFromArray(px.data(), 3, 2, 8, 16, false));
    EXPECT_EQ(4u, img.GetEffWidth());
    EXPECT_EQ(0xAB, img.GetPixelIndex(2, 1));
    EXPECT_TRUE(img.IsGrayScale());
    EXPECT_FALSE(img.CreateFromArray(nullptr, 3, 2, 8, 16, false));
    EXPECT_FALSE(img.CreateFromArray(px.data(), 3, 2, 16, 16, false));
    BYTE* rows[2] = {nullptr, px.data()};
    ASSERT_TRUE(img.CreateFromMatrix(rows, 3, 2, 24, 16, false));
    EXPECT_EQ(0xAB, img.GetBits(1)[8]);
}

TEST(RasterImageBitfields, EachChannelUsesItsOwnWidth)
{
    OpenImage img(2, 1, 24, 0);
    // Red 4 bits (top), green 7 bits, blue 5 bits: red and blue widths differ.
    WORD red = 0xF000, green = 0x0FE0, blue = 0x001F;
    WORD px[2] = {(WORD)(0xA000 | (0x55 << 5) | 0x11), (WORD)0xFFFF};
    BYTE src[4] = {(BYTE)px[0], (BYTE)(px[0] >> 8), (BYTE)px[1], (BYTE)(px[1] >> 8)};
    img.Bitfield2RGB(src, red, green, blue, 16);
    RGBQUAD a = img.GetPixelColor(0, 0), b = img.GetPixelColor(1, 0);
    EXPECT_EQ(0xA0, a.rgbRed);
    EXPECT_EQ(0x55 << 1, a.rgbGreen);
    EXPECT_EQ(0x11 << 3, a.rgbBlue);
    EXPECT_EQ(0xF0, b.rgbRed);
    EXPECT_EQ(0xFE, b.rgbGreen);
    EXPECT_EQ(0xF8, b.rgbBlue);
}

TEST(RasterImageBitfields, InPlaceExpansionOf565And32Bits)
{
    OpenImage img(3, 2, 24, 0);
    // 16-bit rows of (3 + 1) / 2 * 4 = 8 bytes at the start of the pixel rows.
    BYTE* bits = img.GetBits(0);
    WORD rows[2][4] = {{0xF800, 0x07E0, 0x001F, 0}, {0xFFFF, 0x0000, 0x8410, 0}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++) {
            bits[y * 8 + 2 * x] = (BYTE)rows[y][x];
            bits[y * 8 + 2 * x + 1] = (BYTE)(rows[y][x] >> 8);
        }
    img.Bitfield2RGB(bits, 0xF800, 0x07E0, 0x001F, 16);
    EXPECT_EQ(0xF8, img.GetPixelColor(0, 0).rgbRed);
    EXPECT_EQ(0xFC, img.GetPixelColor(1, 0).rgbGreen);
    EXPECT_EQ(0xF8, img.GetPixelColor(2, 0).rgbBlue);
    RGBQUAD white = img.GetPixelColor(0, 1);
    EXPECT_EQ(0xF8, white.rgbRed);
    EXPECT_EQ(0xFC, white.rgbGreen);
    EXPECT_EQ(0xF8, white.rgbBlue);
    RGBQUAD grey = img.GetPixelColor(2, 1);
    EXPECT_EQ(0x80, grey.rgbRed);
    EXPECT_EQ(0x80, grey.rgbGreen);
    EXPECT_EQ(0x80, grey.rgbBlue);

    BYTE px32[3 * 2 * 4];
    for (int i = 0; i < 24; i++)
        px32[i] = (BYTE)i;
    img.Bitfield2RGB(px32, 0, 0, 0, 32);
    EXPECT_EQ(4, img.GetPixelColor(1, 0).rgbBlue);
    EXPECT_EQ(22, img.GetPixelColor(2, 1).rgbRed);
}

TEST(RasterImageBitfields, RGBtoBGRSwapsWholeTriples)
{
    OpenImage img(2, 1, 24, 0);
    BYTE row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    img.RGBtoBGR(row, 8);  // the row is 8 bytes: two whole triples
    BYTE want[8] = {3, 2, 1, 6, 5, 4, 7, 8};
    EXPECT_EQ(0, memcmp(row, want, 8));
}

}  // namespace
