// The WBMP codec: header numbers of one and more bytes, rows and padding,
// refused files, and cross-checks with ImageMagick both ways.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include <raster.h>
#include "magick.h"
#include "test_files.h"
#include "test_raster.h"

namespace {

Bytes EncodeWbmp(RasterImage& img)
{
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_TRUE(img.Encode(out, size, RASTER_FORMAT_WBMP)) << img.GetLastError();
    Bytes b(out, out + (out ? size : 0));
    free(out);
    return b;
}

RasterImage RandomBits(DWORD w, DWORD h, unsigned seed)
{
    RasterImage img(w, h, 1, 0);
    img.SetGrayPalette();
    std::mt19937 rng(seed);
    for (long y = 0; y < (long)h; y++)
        for (long x = 0; x < (long)w; x++)
            img.SetPixelIndex(x, y, (BYTE)(rng() & 1));
    return img;
}

void ExpectSameBits(const RasterImage& a, const RasterImage& b, const std::string& what)
{
    ASSERT_EQ(a.GetWidth(), b.GetWidth()) << what;
    ASSERT_EQ(a.GetHeight(), b.GetHeight()) << what;
    for (long y = 0; y < (long)a.GetHeight(); y++)
        for (long x = 0; x < (long)a.GetWidth(); x++)
            ASSERT_EQ(a.GetPixelIndex(x, y), b.GetPixelIndex(x, y)) << what << " at " << x << "," << y;
}

}  // namespace

TEST(Wbmp, RowsTopFirstWhiteIsOne)
{
    Bytes b = {0, 0, 8, 2, 0xF0, 0x0F};
    RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_WBMP);
    ASSERT_TRUE(img.IsValid()) << img.GetLastError();
    EXPECT_EQ(8u, img.GetWidth());
    EXPECT_EQ(2u, img.GetHeight());
    for (int x = 0; x < 8; x++) {
        EXPECT_EQ(x < 4 ? 255 : 0, img.GetPixelColor(x, 1, false).rgbRed) << x;  // top row
        EXPECT_EQ(x < 4 ? 0 : 255, img.GetPixelColor(x, 0, false).rgbRed) << x;
    }
}

TEST(Wbmp, SidesOf128AndMoreTakeSeveralBytes)
{
    struct Case {
        DWORD w, h;
        Bytes head;
    } cases[] = {
        {127, 1, {0, 0, 0x7F, 0x01}},
        {128, 200, {0, 0, 0x81, 0x00, 0x81, 0x48}},
        {255, 255, {0, 0, 0x81, 0x7F, 0x81, 0x7F}},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        RasterImage img = RandomBits(c.w, c.h, seed++);
        Bytes b = EncodeWbmp(img);
        ASSERT_EQ(c.head.size() + (c.w + 7) / 8 * c.h, b.size()) << c.w;
        EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), b.begin())) << c.w;
        RasterImage back(b.data(), (DWORD)b.size(), RASTER_FORMAT_WBMP);
        ExpectSameBits(img, back, std::to_string(c.w));
    }
}

TEST(Wbmp, RefusedFilesAndPictures)
{
    struct Case {
        const char* what;
        Bytes file;
        const char* text;
    } cases[] = {
        {"one byte", {0}, "Not a WBMP"},
        {"number never ends", {0, 0, 0x81}, "Not a WBMP"},
        {"type 1", {1, 0, 8, 2, 0, 0}, "Unsupported WBMP type"},
        {"zero height", {0, 0, 8, 0}, "Corrupted WBMP"},
        {"number of five bytes", {0, 0, 0x81, 0x81, 0x81, 0x81, 0x01, 1}, "Corrupted WBMP"},
        {"huge claim without rows", {0, 0, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x7F, 0}, "Corrupted WBMP"},
    };
    for (const Case& c : cases) {
        RasterImage img;
        EXPECT_FALSE(img.Decode((BYTE*)c.file.data(), (DWORD)c.file.size(), RASTER_FORMAT_WBMP)) << c.what;
        EXPECT_STREQ(c.text, img.GetLastError()) << c.what;
    }
    // Rows cut short: what is there, the rest black, and a text.
    Bytes cut = {0, 0, 8, 3, 0xFF};
    RasterImage img(cut.data(), (DWORD)cut.size(), RASTER_FORMAT_WBMP);
    ASSERT_TRUE(img.IsValid());
    EXPECT_EQ(1, img.GetPixelIndex(0, 2));
    EXPECT_EQ(0, img.GetPixelIndex(0, 1));
    EXPECT_STREQ("WBMP data ends early", img.GetLastError());

    BYTE* out = nullptr;
    long size = 0;
    for (RasterImage* bad : {new RasterImage(256, 2, 1, 0), new RasterImage(4, 4, 4, 0)}) {
        EXPECT_FALSE(bad->Encode(out, size, RASTER_FORMAT_WBMP));
        EXPECT_STREQ("Can't save this image as WBMP", bad->GetLastError());
        delete bad;
    }
}

TEST(Wbmp, PaletteIsNotConsultedWhenSaving)
{
    RasterImage img(8, 1, 1, 0);
    img.SetPaletteColor(0, Quad(255, 255, 255));
    img.SetPaletteColor(1, Quad(0, 0, 0));
    img.SetPixelIndex(0, 0, 1);
    Bytes b = EncodeWbmp(img);
    ASSERT_EQ(5u, b.size());
    EXPECT_EQ(0x80, b[4]);
}

class WbmpMagick : public MagickFixture {
protected:
    WbmpMagick() : MagickFixture("raster_wbmp_") {}

    Bytes MagickGrey(const std::string& file)
    {
        std::string out = Path("out.gray");
        remove(out.c_str());
        if (!RunQuiet("convert '" + file + "' -depth 8 'gray:" + out + "'"))
            return Bytes();
        return ReadFile(out);
    }

    static void ExpectSame(const RasterImage& img, const Bytes& grey, const std::string& what)
    {
        const long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        ASSERT_EQ((size_t)w * h, grey.size()) << what;
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++)
                ASSERT_EQ(img.GetPixelIndex(x, h - 1 - y) ? 255 : 0, grey[(size_t)y * w + x])
                    << what << " at " << x << "," << y;
    }
};

TEST_F(WbmpMagick, BothWays)
{
    for (DWORD w : {9u, 130u, 255u}) {
        std::string src = SourcePicture((int)w, 140);
        std::string path = Path("im.wbmp");
        ASSERT_TRUE(RunQuiet("convert '" + src + "' -monochrome '" + path + "'"));
        Bytes b = ReadFile(path);
        RasterImage img(b.data(), (DWORD)b.size(), RASTER_FORMAT_WBMP);
        ASSERT_TRUE(img.IsValid()) << img.GetLastError();
        ExpectSame(img, MagickGrey(path), "its " + std::to_string(w));

        RasterImage ours = RandomBits(w, 131, w);
        std::string mine = Path("ours.wbmp");
        ASSERT_TRUE(ours.Save(mine.c_str(), RASTER_FORMAT_WBMP));
        ExpectSame(ours, MagickGrey(mine), "ours " + std::to_string(w));
    }
}
