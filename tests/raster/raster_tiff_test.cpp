// The TIFF codec: files written by ImageMagick and tiffcp in every
// compression and sample layout decoded to ImageMagick's pixels; files built
// here with libtiff for layouts the tools do not write (2-bit and 16-bit
// palettes, orientations, damaged directories); our own single and
// multi-page files read back by us, tiffinfo and ImageMagick.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
            !RunQuiet("convert '" + path + "' " + options + " -format '%w %h' info: > '" + size + "'"))
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

namespace {

TEST_F(TiffTest, TiffcpFilesOfEveryCompressionAndLayoutDecodeToItsPixels)
{
    if (!HaveTool("tiffcp -h") && !HaveTool("which tiffcp"))
        GTEST_SKIP() << "tiffcp is not installed";
    struct Case {
        const char* name;
        const char* options;  // tiffcp's
        bool alpha;
        int tolerance;
    } cases[] = {
        {"none", "-c none", false, 0},
        {"lzw predictor", "-c lzw:2", false, 0},
        {"deflate predictor", "-c zip:2", false, 0},
        {"packbits", "-c packbits", false, 0},
        {"jpeg ycbcr", "-c jpeg:90 -r 16", false, 3},
        {"jpeg rgb", "-c jpeg:r:90 -r 16", false, 3},
        {"tiles", "-t -w 16 -l 16 -c lzw", false, 0},
        {"tiles separate", "-t -w 16 -l 32 -p separate -c zip", true, 0},
        {"strips separate", "-p separate -r 5", true, 0},
        {"one row a strip", "-r 1 -c lzw", true, 0},
    };
    const std::string plain = Path("plain.tif");
    const std::string alpha = Path("alpha.tif");
    ASSERT_TRUE(RunQuiet("convert '" + SourcePicture(37, 23) + "' -compress none '" + plain + "'"));
    ASSERT_TRUE(RunQuiet("convert '" + SourceWithAlpha(37, 23) + "' -compress none '" + alpha + "'"));
    int n = 0;
    for (const Case& c : cases) {
        std::string path = Path("tiffcp" + std::to_string(n++) + ".tif");
        ASSERT_TRUE(RunQuiet(std::string("tiffcp ") + c.options + " '" + (c.alpha ? alpha : plain) +
                             "' '" + path + "'"))
            << c.name;
        ExpectLikeMagick(path, c.tolerance, c.name, 24);
    }
}

// Layouts built with libtiff itself: each decoded to the pixels the samples
// stand for (and to ImageMagick's where it reads the layout).
TEST_F(TiffTest, GreyAndPaletteDepthsUnpackToTheirLevels)
{
    struct Case {
        const char* name;
        uint16_t bits, photometric;
        WORD bpp;
    } cases[] = {
        {"grey 1 min-is-white", 1, PHOTOMETRIC_MINISWHITE, 1},
        {"grey 2", 2, PHOTOMETRIC_MINISBLACK, 8},
        {"grey 2 min-is-white", 2, PHOTOMETRIC_MINISWHITE, 8},
        {"grey 4 min-is-white", 4, PHOTOMETRIC_MINISWHITE, 4},
        {"grey 6", 6, PHOTOMETRIC_MINISBLACK, 8},
        {"grey 12", 12, PHOTOMETRIC_MINISBLACK, 8},
        {"palette 1", 1, PHOTOMETRIC_PALETTE, 1},
        {"palette 2", 2, PHOTOMETRIC_PALETTE, 8},
        {"palette 4", 4, PHOTOMETRIC_PALETTE, 4},
        {"palette 8", 8, PHOTOMETRIC_PALETTE, 8},
        {"palette 16", 16, PHOTOMETRIC_PALETTE, 24},
    };
    const uint32_t w = 13, h = 7;
    for (const Case& c : cases) {
        const uint32_t top = (1u << c.bits) - 1;
        auto value = [&](uint32_t x, uint32_t y) { return (x * 7 + y * 5) * 2654435761u % (top + 1); };
        // A map whose entries are all distinct and use 16-bit values.
        std::vector<uint16_t> map(3 * (size_t)(top + 1));
        for (uint32_t i = 0; i <= top; i++) {
            map[i] = (uint16_t)(i * 40503u);
            map[top + 1 + i] = (uint16_t)(65535 - i * 257u);
            map[2 * (top + 1) + i] = (uint16_t)(i * 1021u);
        }
        std::string path = Path(std::to_string(c.bits) + "-" + std::to_string(c.photometric) + ".tif");
        Bytes file = MakeTiff(
            w, h,
            [&](TIFF* tif) {
                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, c.bits);
                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, c.photometric);
                if (c.photometric == PHOTOMETRIC_PALETTE)
                    TIFFSetField(tif, TIFFTAG_COLORMAP, &map[0], &map[top + 1], &map[2 * (top + 1)]);
            },
            [&](uint32_t y) {
                Bytes row(((size_t)w * c.bits + 7) / 8, 0);
                for (uint32_t x = 0; x < w; x++) {
                    const uint32_t v = value(x, y);
                    if (c.bits == 16) {  // libtiff takes 16-bit samples in native order
                        const uint16_t s = (uint16_t)v;
                        memcpy(&row[2 * x], &s, 2);
                        continue;
                    }
                    for (uint32_t b = 0; b < c.bits; b++)
                        if (v & (1u << (c.bits - 1 - b))) {
                            const size_t bit = (size_t)x * c.bits + b;
                            row[bit / 8] |= (uint8_t)(0x80 >> (bit % 8));
                        }
                }
                return row;
            },
            path);
        RasterImage img;
        ASSERT_TRUE(DecodeBytes(img, file)) << c.name << ": " << img.GetLastError();
        EXPECT_EQ(c.bpp, img.GetBpp()) << c.name;
        for (uint32_t y = 0; y < h; y++)
            for (uint32_t x = 0; x < w; x++) {
                const uint32_t v = value(x, y);
                RGBQUAD got = img.GetPixelColor((long)x, (long)(h - 1 - y), false);
                int r, g, b;
                if (c.photometric == PHOTOMETRIC_PALETTE) {
                    const bool wide = c.bits > 8;
                    r = wide ? map[v] / 257 : map[v] * 255 / 65535;
                    g = wide ? map[top + 1 + v] / 257 : map[top + 1 + v] * 255 / 65535;
                    b = wide ? map[2 * (top + 1) + v] / 257 : map[2 * (top + 1) + v] * 255 / 65535;
                } else {
                    int level = c.bits == 16 ? (int)(v / 257) : (int)((v * 255 + top / 2) / top);
                    if (c.photometric == PHOTOMETRIC_MINISWHITE)
                        level = 255 - level;
                    r = g = b = level;
                }
                ASSERT_EQ(r, got.rgbRed) << c.name << " at " << x << "," << y;
                ASSERT_EQ(g, got.rgbGreen) << c.name << " at " << x << "," << y;
                ASSERT_EQ(b, got.rgbBlue) << c.name << " at " << x << "," << y;
            }
        // ImageMagick reads these depths as we do (but takes min-is-white
        // past one bit as min-is-black).
        if (c.bits <= 8 && c.bits != 6 && (c.bits == 1 || c.photometric != PHOTOMETRIC_MINISWHITE))
            ExpectLikeMagick(path, 1, c.name);
    }
}

// Every orientation tag gives an upright picture: the page as stored (tag 1),
// turned as the tag says, on the direct path (RGB, grey, palette) and through
// libtiff's RGBA reader (YCbCr JPEG via tiffcp).
TEST_F(TiffTest, EveryOrientationTagGivesAnUprightPicture)
{
    const std::string src = SourcePicture(19, 11);
    struct Layout {
        const char* name;
        const char* convert;
        bool jpeg;
    } layouts[] = {
        {"rgb", "-compress lzw", false},
        {"grey", "-colorspace gray -compress none", false},
        {"palette", "-colors 16 -type palette -compress none", false},
        {"ycbcr jpeg", "-compress none", true},
    };
    // What brings the stored picture upright, tag by tag.
    const char* turn[9] = {"", "", "-flop", "-rotate 180", "-flip", "-transpose", "-rotate 90",
                           "-transverse", "-rotate 270"};
    for (const Layout& l : layouts) {
        std::string stored = Path(std::string(l.name) + ".tif");
        ASSERT_TRUE(RunQuiet("convert '" + src + "' " + l.convert + " '" + stored + "'"));
        if (l.jpeg) {
            std::string jpeg = Path("jpeg.tif");
            ASSERT_TRUE(RunQuiet("tiffcp -c jpeg:95 -r 16 '" + stored + "' '" + jpeg + "'"));
            stored = jpeg;
        }
        for (int tag = 1; tag <= 8; tag++) {
            const std::string name = std::string(l.name) + " orientation " + std::to_string(tag);
            const std::string path = Path("o" + std::to_string(tag) + ".tif");
            WriteFile(path, ReadFile(stored));
            ASSERT_TRUE(RunQuiet("tiffset -s 274 " + std::to_string(tag) + " '" + path + "'"));
            RasterImage img;
            ASSERT_TRUE(img.Load(path.c_str(), RASTER_FORMAT_TIF)) << name << img.GetLastError();
            Rgba theirs = Magick(stored, turn[tag]);
            std::string where;
            EXPECT_LE(MaxDiff(Ours(img), theirs, &where), l.jpeg ? 3 : 0) << name << " " << where;
        }
    }
}

}  // namespace
