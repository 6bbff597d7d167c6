// The TIFF codec: files written by ImageMagick and tiffcp in every
// compression and sample layout decoded to ImageMagick's pixels; files built
// here with libtiff for layouts the tools do not write (2-bit and 16-bit
// palettes, orientations, damaged directories); our own single and
// multi-page files read back by us, tiffinfo and ImageMagick.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <desktop/desktop.h>
#include <raster.h>
#include "encoded_bytes.h"
#include "magick.h"
#include "test_files.h"

namespace {

// A picture as 8-bit RGBA, rows from the top.
struct Rgba {
    int width = 0, height = 0;
    std::vector<uint8_t> px;
    const uint8_t* at(int x, int y) const { return &px[4 * ((size_t)y * width + x)]; }
};

// Our decoding, rows from the top; alpha 255 without a plane.
Rgba Ours(RasterImage& img)
{
    Rgba out;
    out.width = (int)img.GetWidth();
    out.height = (int)img.GetHeight();
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++) {
            RGBQUAD c = img.GetPixelColor(x, out.height - 1 - y, false);
            out.px.push_back(c.rgbRed);
            out.px.push_back(c.rgbGreen);
            out.px.push_back(c.rgbBlue);
            out.px.push_back(img.AlphaIsValid() ? img.AlphaGet(x, out.height - 1 - y) : 255);
        }
    return out;
}

// The largest difference of any channel, and where.
int MaxDiff(const Rgba& a, const Rgba& b, std::string* where)
{
    if (a.width != b.width || a.height != b.height) {
        *where = "sizes differ";
        return 256;
    }
    int worst = 0;
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++)
            for (int c = 0; c < 4; c++) {
                int d = std::abs(a.at(x, y)[c] - b.at(x, y)[c]);
                if (d > worst) {
                    worst = d;
                    *where = "(" + std::to_string(x) + ", " + std::to_string(y) + ") channel " +
                             std::to_string(c) + ": ours " + std::to_string(a.at(x, y)[c]) +
                             ", theirs " + std::to_string(b.at(x, y)[c]);
                }
            }
    return worst;
}

// Writes a TIFF with libtiff: the tags are set by `tags`, rows come from
// `row` (bytes of row y, top first).
Bytes MakeTiff(uint32_t w, uint32_t h, const std::function<void(TIFF*)>& tags,
               const std::function<Bytes(uint32_t y)>& row, const std::string& path)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    if (tif == nullptr)
        return Bytes();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3);
    tags(tif);
    for (uint32_t y = 0; y < h; y++) {
        Bytes r = row(y);
        EXPECT_EQ(1, TIFFWriteScanline(tif, r.data(), y, 0)) << y;
    }
    TIFFClose(tif);
    return ReadFile(path);
}

bool DecodeBytes(RasterImage& img, Bytes& data, DWORD type = RASTER_FORMAT_TIF)
{
    return img.Decode(data.data(), (DWORD)data.size(), type);
}

class TiffTest : public MagickFixture {
protected:
    TiffTest() : MagickFixture("raster_tiff_") {}
    void TearDown() override { desktop::TakeMessageBoxes(); }

    // ImageMagick's reading of one page, as 8-bit RGBA.
    Rgba Magick(const std::string& path, const std::string& options = "")
    {
        Rgba out;
        std::string raw = path + ".rgba";
        std::string size = path + ".size";
        if (!RunQuiet("convert '" + path + "' " + options + " -depth 8 'rgba:" + raw + "'") ||
            !RunQuiet("identify -format '%w %h' '" + path + "' " + options + " > '" + size + "'"))
            return out;
        Bytes s = ReadFile(size);
        std::string text(s.begin(), s.end());
        sscanf(text.c_str(), "%d %d", &out.width, &out.height);
        Bytes d = ReadFile(raw);
        out.px.assign(d.begin(), d.end());
        if (out.px.size() != (size_t)out.width * out.height * 4)
            out.width = out.height = 0;
        return out;
    }

    // Decodes the file as TIFF and compares with ImageMagick's pixels.
    void ExpectLikeMagick(const std::string& path, int tolerance, const std::string& name,
                          WORD bpp = 0)
    {
        RasterImage img;
        ASSERT_TRUE(img.Load(path.c_str(), RASTER_FORMAT_TIF)) << name << ": " << img.GetLastError();
        EXPECT_EQ(RASTER_FORMAT_TIF, img.GetType()) << name;
        if (bpp != 0)
            EXPECT_EQ(bpp, img.GetBpp()) << name;
        Rgba theirs = Magick(path);
        ASSERT_GT(theirs.width, 0) << name;
        std::string where;
        EXPECT_LE(MaxDiff(Ours(img), theirs, &where), tolerance) << name << " " << where;
    }

    // A picture with an alpha ramp across it, as PNG for the tools.
    std::string SourceWithAlpha(int w, int h)
    {
        std::string src = SourcePicture(w, h);
        std::string out = Path("alpha.png");
        EXPECT_TRUE(RunQuiet("convert '" + src + "' -alpha set -channel A -fx 'i/w' +channel '" +
                             out + "'"));
        return out;
    }
};

TEST_F(TiffTest, MagickFilesOfEveryCompressionAndLayoutDecodeToItsPixels)
{
    struct Case {
        const char* name;
        const char* options;  // ImageMagick's writing options
        bool alpha;           // from the picture with an alpha ramp
        int tolerance;
        WORD bpp;
    } cases[] = {
        {"rgb none", "-compress none", false, 0, 24},
        {"rgb lzw", "-compress lzw", false, 0, 24},
        {"rgb deflate", "-compress zip", false, 0, 24},
        {"rgb packbits", "-compress rle", false, 0, 24},
        {"rgb jpeg", "-compress jpeg -quality 90", false, 2, 24},
        {"rgb 16 bits", "-depth 16 -compress zip", false, 0, 24},
        {"rgba 8 bits", "-compress lzw", true, 0, 24},
        {"rgba 16 bits", "-depth 16 -compress none", true, 0, 24},
        {"rgb separate planes", "-interlace plane -compress lzw", false, 0, 24},
        {"rgba separate planes", "-interlace plane -compress none", true, 0, 24},
        {"rgb tiles", "-define tiff:tile-geometry=16x16 -compress zip", false, 0, 24},
        {"grey 1 g3", "-monochrome -compress fax", false, 0, 1},
        {"grey 1 g4", "-monochrome -compress group4", false, 0, 1},
        {"grey 2", "-colorspace gray -depth 2 -compress none", false, 0, 8},
        {"grey 4", "-colorspace gray -depth 4 -compress lzw", false, 0, 4},
        {"grey 8", "-colorspace gray -depth 8 -compress rle", false, 0, 8},
        {"grey 16", "-colorspace gray -depth 16 -compress zip", false, 0, 8},
        {"grey 8 tiles", "-colorspace gray -define tiff:tile-geometry=16x16", false, 0, 8},
        {"grey alpha", "-colorspace gray -compress none", true, 0, 8},
        {"palette 1", "-colors 2 -type palette -depth 1 -compress none", false, 0, 0},
        {"palette 4", "-colors 16 -type palette -compress lzw", false, 0, 0},
        {"palette 8", "-colors 200 -type palette -compress rle", false, 0, 8},
        {"cmyk", "-colorspace cmyk -compress lzw", false, 2, 24},
        {"cmyk separate", "-colorspace cmyk -interlace plane", false, 2, 24},
    };
    const std::string plain = SourcePicture(37, 23);
    const std::string alpha = SourceWithAlpha(37, 23);
    for (const Case& c : cases) {
        std::string path = Path(std::string(c.name) + ".tif");
        for (char& ch : path) {
            if (ch == ' ')
                ch = '_';
        }
        ASSERT_TRUE(RunQuiet("convert '" + (c.alpha ? alpha : plain) + "' " + c.options + " '" +
                             path + "'"))
            << c.name;
        ExpectLikeMagick(path, c.tolerance, c.name, c.bpp);
    }
}

}  // namespace
