// The WMF and EMF codec's memory: a picture is played a band of rows at a
// time, so decoding costs the image's own pixels and one band, whatever the
// metafile asks; and the bands join without a seam.
#include <gtest/gtest.h>

#include <raster.h>
#include <wmf.h>

#include "alloc_counter.h"
#include "metafile_hostile.h"
#include "wmf_pixels.h"

namespace {

struct Decoded {
    bool ok = false;
    size_t peak = 0;
};

Decoded Decode(RasterImage& img, const std::vector<uint8_t>& bytes)
{
    Decoded d;
    const AllocCounter counter;
    d.ok = img.Decode(const_cast<uint8_t*>(bytes.data()), DWORD(bytes.size()), RASTER_FORMAT_WMF);
    d.peak = counter.Peak();
    return d;
}

TEST(WmfBudget, ATinyMetafileAskingTheLargestPictureCostsThatPictureAndOneBand)
{
    const std::vector<uint8_t> bytes = TinyHugePicture();
    ASSERT_EQ(bytes.size(), 46u);
    RasterImage img;
    const Decoded d = Decode(img, bytes);
    ASSERT_TRUE(d.ok) << img.GetLastError();
    ASSERT_EQ(img.GetWidth(), 4000u);
    ASSERT_EQ(img.GetHeight(), 4000u);
    EXPECT_EQ(At(img, 3999, 3999), WindowColour());
    if (!AllocCounter::Available())
        GTEST_SKIP() << "the sanitizers own the allocator";
    const size_t picture = size_t(img.GetEffWidth()) * img.GetHeight();
    EXPECT_LE(d.peak, picture + (size_t(32) << 20));
}

TEST(WmfBudget, ASmallFileOfAModestPictureStaysUnder96MB)
{
    // 290 rectangles over 2048 x 2048 pixels: the play stops at its
    // allowance, and memory holds the image and one band.
    WmfBuilder b;
    b.Select(b.CreateBrush(0, 0x0000FF));
    for (int i = 0; i < 290; i++)
        b.Rectangle(0, 0, 2049, 2049);
    const std::vector<uint8_t> bytes = b.Placeable(0, 0, 2048, 2048, 96);
    RasterImage img;
    const Decoded d = Decode(img, bytes);
    ASSERT_TRUE(d.ok) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 2048u);
    EXPECT_EQ(At(img, 1000, 1000), 0xFF0000u);
    if (AllocCounter::Available()) {
        EXPECT_LT(d.peak, size_t(96) << 20);
    }
}

TEST(WmfBudget, BandsJoinWithoutASeam)
{
    // 4000 x 3000 pixels plays in bands of 1048 rows. Rectangles whose edges
    // fall on either side of each band's edge, and an ellipse across them
    // all, come out as one play would draw them.
    EmfBuilder e(0, 0, 3999, 2999);
    e.Select(e.CreatePen(PS_NULL, 0, 0));
    e.Select(e.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    e.Rectangle(10, 1047, 20, 1049);  // rows 1047 and 1048: one each side
    e.Rectangle(30, 2095, 40, 2097);  // rows 2095 and 2096
    e.Select(e.CreateBrush(BS_SOLID, RGB(0, 0, 255)));
    e.Ellipse(1000, 0, 3000, 3000);
    RasterImage img;
    const std::vector<uint8_t> bytes = e.Bytes();
    ASSERT_TRUE(Decode(img, bytes).ok) << img.GetLastError();
    ASSERT_EQ(img.GetHeight(), 3000u);
    const uint32_t bg = WindowColour();
    for (long y : {1046L, 1049L})
        EXPECT_EQ(At(img, 15, y), bg) << y;
    for (long y : {1047L, 1048L})
        EXPECT_EQ(At(img, 15, y), 0xFF0000u) << y;
    for (long y : {2094L, 2097L})
        EXPECT_EQ(At(img, 35, y), bg) << y;
    for (long y : {2095L, 2096L})
        EXPECT_EQ(At(img, 35, y), 0xFF0000u) << y;
    // Every pixel as one play of the whole picture into one bitmap draws it.
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 4000;
    bmi.bmiHeader.biHeight = -3000;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    const uint32_t* px = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < size_t(4000) * 3000; i++)
        const_cast<uint32_t*>(px)[i] = bg;
    HENHMETAFILE mf = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
    const RECT all = {0, 0, 4000, 3000};
    PlayEnhMetaFile(dc, mf, &all);
    DeleteEnhMetaFile(mf);
    long differ = 0;
    for (long y = 0; y < 3000; y++)
        for (long x = 0; x < 4000; x++)
            differ += (px[size_t(y) * 4000 + x] & 0xFFFFFF) != At(img, x, y);
    EXPECT_EQ(differ, 0);
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
}

}  // namespace
