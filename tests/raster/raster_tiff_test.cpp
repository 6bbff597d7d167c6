// The TIFF codec: files written by ImageMagick and tiffcp in every
// compression and sample layout decoded to ImageMagick's pixels; files built
// here with libtiff for layouts the tools do not write (2-bit and 16-bit
// palettes, orientations, damaged directories); our own single and
// multi-page files read back by us, tiffinfo and ImageMagick.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
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
                // The colour of a fully transparent pixel carries nothing.
                if (c < 3 && a.at(x, y)[3] == 0 && b.at(x, y)[3] == 0)
                    continue;
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
            !RunQuiet("convert '" + path + "' " + options + " -format '%w %h' info: > '" + size +
                      "'"))
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
        ASSERT_TRUE(img.Load(path.c_str(), RASTER_FORMAT_TIF))
            << name << ": " << img.GetLastError();
        EXPECT_EQ(RASTER_FORMAT_TIF, img.GetType()) << name;
        if (bpp != 0) {
            EXPECT_EQ(bpp, img.GetBpp()) << name;
        }
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
        // Sixteen-bit grey keeps its high byte; ImageMagick rounds.
        {"grey 16", "-colorspace gray -depth 16 -compress zip", false, 1, 8},
        {"grey 8 tiles", "-colorspace gray -define tiff:tile-geometry=16x16", false, 0, 8},
        {"grey alpha", "-colorspace gray -compress none", true, 0, 8},
        {"palette 1", "-colors 2 -type palette -depth 1 -compress none", false, 0, 0},
        {"palette 4", "-colors 16 -type palette -compress lzw", false, 0, 0},
        {"palette 8", "-colors 200 -type palette -compress rle", false, 0, 8},
        {"cmyk", "-colorspace cmyk -compress lzw", false, 2, 24},
        {"cmyk separate", "-colorspace cmyk -interlace plane", false, 2, 24},
        // The codec's L*a*b* formula has no linear toe for the darkest
        // colours, where it parts from ImageMagick's by a few levels.
        {"cie lab", "-colorspace Lab -compress none", false, 20, 24},
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
    ASSERT_TRUE(
        RunQuiet("convert '" + SourceWithAlpha(37, 23) + "' -compress none '" + alpha + "'"));
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
        auto value = [&](uint32_t x, uint32_t y) {
            return (x * 7 + y * 5) * 2654435761u % (top + 1);
        };
        // A map whose entries are all distinct and use 16-bit values.
        std::vector<uint16_t> map(3 * (size_t)(top + 1));
        for (uint32_t i = 0; i <= top; i++) {
            map[i] = (uint16_t)(i * 40503u);
            map[top + 1 + i] = (uint16_t)(65535 - i * 257u);
            map[2 * (top + 1) + i] = (uint16_t)(i * 1021u);
        }
        std::string path =
            Path(std::to_string(c.bits) + "-" + std::to_string(c.photometric) + ".tif");
        Bytes file = MakeTiff(
            w, h,
            [&](TIFF* tif) {
                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, c.bits);
                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, c.photometric);
                if (c.photometric == PHOTOMETRIC_PALETTE)
                    TIFFSetField(tif, TIFFTAG_COLORMAP, &map[0], &map[top + 1],
                                 &map[2 * (top + 1)]);
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
                    int level = c.bits == 16 ? (int)(v >> 8) : (int)((v * 255 + top / 2) / top);
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

// A picture of our own at the given depth: a grey ramp palette for 8 bits,
// colours otherwise, optionally with an alpha ramp.
void Paint(RasterImage& img, DWORD w, DWORD h, WORD bpp, bool alpha, DWORD type = RASTER_FORMAT_TIF)
{
    ASSERT_NE(nullptr, img.Create(w, h, bpp, type));
    if (bpp == 8)
        img.SetGrayPalette();
    else if (bpp == 4)
        img.SetStdPalette();
    else if (bpp == 1) {
        img.SetPaletteColor(0, 0, 0, 0);
        img.SetPaletteColor(1, 255, 255, 255);
    }
    if (alpha)
        img.AlphaCreate();
    for (DWORD y = 0; y < h; y++)
        for (DWORD x = 0; x < w; x++) {
            if (bpp <= 8)
                img.SetPixelIndex((long)x, (long)y, (BYTE)((x * 7 + y * 3) % (1u << bpp)));
            else
                img.SetPixelColor((long)x, (long)y, RGB(x * 9, y * 17, (x * y) & 0xFF));
            if (alpha)
                img.AlphaSet((long)x, (long)y, (BYTE)(x * 255 / (w - 1)));
        }
}

TEST_F(TiffTest, OurPagesReadBackExactlyByUsAndImageMagick)
{
    struct Case {
        const char* name;
        WORD bpp;
        bool alpha;
        DWORD compression;  // 0: the writer's default
        int tolerance;
    } cases[] = {
        {"1 bit g4", 1, false, 0, 0},
        {"4 bits", 4, false, 0, 0},
        {"8 bits packbits", 8, false, 0, 0},
        {"8 bits alpha", 8, true, 0, 0},
        {"8 bits lzw", 8, false, COMPRESSION_LZW, 0},
        {"4 bits lzw", 4, false, COMPRESSION_LZW, 0},
        {"24 bits lzw", 24, false, COMPRESSION_LZW, 0},
        {"24 bits deflate", 24, false, COMPRESSION_ADOBE_DEFLATE, 0},
        {"24 bits none", 24, false, COMPRESSION_NONE, 0},
        {"24 bits jpeg", 24, false, 0, 40},
        {"24 bits alpha lzw", 24, true, COMPRESSION_LZW, 0},
        {"1 bit g3", 1, false, COMPRESSION_CCITTFAX3, 0},
        {"1 bit colours", 1, false, COMPRESSION_LZW, 0},
        {"1 bit colours g4", 1, false, 0, 0},
    };
    for (const Case& c : cases) {
        RasterImageTIF img;
        Paint(img, 21, 13, c.bpp, c.alpha);
        if (std::string(c.name).find("colours") != std::string::npos) {  // a two-entry palette
            img.SetPaletteColor(0, 200, 30, 40);
            img.SetPaletteColor(1, 10, 20, 250);
        }
        img.SetCodecOption(c.compression);
        img.SetXDPI(150);
        const std::string path = Path("ours.tif");
        const Rgba before = Ours(img);
        ASSERT_TRUE(img.Save(path.c_str(), RASTER_FORMAT_TIF)) << c.name << img.GetLastError();
        std::string unchanged;  // the writer leaves the picture as it was
        EXPECT_EQ(0, MaxDiff(Ours(img), before, &unchanged)) << c.name << " " << unchanged;
        RasterImage back;
        ASSERT_TRUE(back.Load(path.c_str(), RASTER_FORMAT_TIF)) << c.name << back.GetLastError();
        EXPECT_EQ(150, back.GetXDPI()) << c.name;
        EXPECT_EQ(c.alpha, back.AlphaIsValid()) << c.name;
        std::string where;
        EXPECT_LE(MaxDiff(Ours(back), Ours(img), &where), c.tolerance) << c.name << " " << where;
        EXPECT_LE(MaxDiff(Magick(path), Ours(img), &where), c.tolerance) << c.name << " " << where;
    }
}

TEST_F(TiffTest, MultiPageFilesCarryPageTagsAndReadBackPageByPage)
{
    RasterImage a, b, c;
    Paint(a, 9, 5, 24, false);
    Paint(b, 6, 4, 8, false);
    Paint(c, 7, 3, 1, false);
    a.SetCodecOption(COMPRESSION_LZW);
    RasterImage* pages[] = {&a, &b, &c};
    const std::string path = Path("pages.tif");
    FILE* fp = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, fp);
    ASSERT_TRUE(a.Encode(fp, pages, 3, RASTER_FORMAT_TIF)) << a.GetLastError();
    fclose(fp);

    for (int i = 0; i < 3; i++) {
        RasterImage page;
        page.SetFrame(i);
        ASSERT_TRUE(page.Load(path.c_str(), RASTER_FORMAT_TIF)) << i << page.GetLastError();
        EXPECT_EQ(3, page.GetNumFrames());
        std::string where;
        EXPECT_EQ(0, MaxDiff(Ours(page), Ours(*pages[i]), &where)) << i << " " << where;
        EXPECT_EQ(0, MaxDiff(Magick(path + "[" + std::to_string(i) + "]"), Ours(page), &where))
            << i << " " << where;
    }
    RasterImage past;
    past.SetFrame(3);
    EXPECT_FALSE(past.Load(path.c_str(), RASTER_FORMAT_TIF));
    EXPECT_STREQ("Error: page not present in TIFF file", past.GetLastError());
    EXPECT_EQ(3, past.GetNumFrames());

    // tiffinfo sees three pages, named and numbered as written; tiffcp
    // copies all three.
    std::string info = Path("info.txt");
    ASSERT_TRUE(RunQuiet("tiffinfo '" + path + "' > '" + info + "'"));
    Bytes text = ReadFile(info);
    std::string listing(text.begin(), text.end());
    for (int i = 1; i <= 3; i++) {
        EXPECT_NE(std::string::npos, listing.find("PageName: Page " + std::to_string(i)))
            << listing;
        EXPECT_NE(std::string::npos,
                  listing.find("Page Number: " + std::to_string(i) + "-" + std::to_string(i)))
            << listing;
    }
    EXPECT_NE(std::string::npos, listing.find("multi-page document")) << listing;
    const std::string copy = Path("copy.tif");
    ASSERT_TRUE(RunQuiet("tiffcp '" + path + "' '" + copy + "'"));
    RasterImage third;
    third.SetFrame(2);
    ASSERT_TRUE(third.Load(copy.c_str(), RASTER_FORMAT_TIF));
    EXPECT_EQ(3, third.GetNumFrames());
}

TEST_F(TiffTest, AppendedPagesAndASinglePage)
{
    RasterImage a, b;
    Paint(a, 5, 5, 8, false);
    Paint(b, 4, 3, 24, false);
    RasterMemFile mem;
    ASSERT_TRUE(mem.Open());
    RasterImageTIF writer;
    static_cast<RasterImage&>(writer) = a;
    ASSERT_TRUE(writer.Encode(&mem, true));
    static_cast<RasterImage&>(writer) = b;
    ASSERT_TRUE(writer.Encode(&mem, false));
    Bytes file(mem.GetBuffer(false), mem.GetBuffer(false) + mem.Size());
    const std::string path = Path("two.tif");
    WriteFile(path, file);
    std::string info = Path("info.txt");
    ASSERT_TRUE(RunQuiet("tiffinfo '" + path + "' > '" + info + "'"));
    Bytes text = ReadFile(info);
    std::string listing(text.begin(), text.end());
    EXPECT_NE(std::string::npos, listing.find("Page Number: 1-1")) << listing;
    EXPECT_NE(std::string::npos, listing.find("Page Number: 2-2")) << listing;
    RasterImage second;
    second.SetFrame(1);
    ASSERT_TRUE(DecodeBytes(second, file));
    EXPECT_EQ(4u, second.GetWidth());

    // One page on a fresh object: no page tags.
    Bytes single = EncodedBytes(a, RASTER_FORMAT_TIF);
    ASSERT_FALSE(single.empty()) << a.GetLastError();
    WriteFile(path, single);
    ASSERT_TRUE(RunQuiet("tiffinfo '" + path + "' > '" + info + "'"));
    text = ReadFile(info);
    listing.assign(text.begin(), text.end());
    EXPECT_EQ(std::string::npos, listing.find("Page Number")) << listing;
    EXPECT_EQ(std::string::npos, listing.find("Page Name")) << listing;
}

TEST_F(TiffTest, EncodeRefusesWhatItCannotWrite)
{
    RasterImageTIF img;
    Paint(img, 8, 8, 24, false);
    struct Case {
        DWORD compression;
    } cases[] = {{COMPRESSION_OJPEG}, {COMPRESSION_THUNDERSCAN}, {COMPRESSION_NEXT}, {0xFFF0}};
    for (const Case& c : cases) {
        img.SetCodecOption(c.compression);
        EXPECT_TRUE(EncodedBytes(img, RASTER_FORMAT_TIF).empty()) << c.compression;
        EXPECT_STREQ("TIFF compression not available for writing", img.GetLastError());
    }
    // The option word of another format's image is not the TIFF writer's.
    RasterImage other;
    Paint(other, 8, 8, 24, false, RASTER_FORMAT_PNG);
    other.SetCodecOption(COMPRESSION_THUNDERSCAN);
    EXPECT_FALSE(EncodedBytes(other, RASTER_FORMAT_TIF).empty()) << other.GetLastError();

    img.SetCodecOption(0);
    RasterImage empty;
    EXPECT_TRUE(EncodedBytes(empty, RASTER_FORMAT_TIF).empty());
    EXPECT_STREQ("null image!!!", empty.GetLastError());
    EXPECT_FALSE(img.Encode((RasterFile*)nullptr, false));
    EXPECT_STREQ("null file handler", img.GetLastError());
    EXPECT_FALSE(img.Encode((RasterFile*)nullptr, nullptr, 1));
    EXPECT_STREQ("invalid file pointer", img.GetLastError());
    RasterMemFile mem;
    ASSERT_TRUE(mem.Open());
    EXPECT_FALSE(img.Encode(&mem, nullptr, 0));
    EXPECT_STREQ("multipage TIFF, no images!", img.GetLastError());
    RasterImage* holes[] = {&img, nullptr};
    EXPECT_FALSE(img.Encode(&mem, holes, 2));
    EXPECT_STREQ("Bad image pointer", img.GetLastError());
}

// A little-endian TIFF of one 8-bit grey strip, built byte by byte; each tag
// given is (tag, type, count, value), a count of 0 leaves the tag out.
struct Tag {
    uint16_t tag, type;
    uint32_t count, value;
};

Bytes HandMadeTiff(uint32_t w, uint32_t h, std::vector<Tag> extra)
{
    const uint32_t dataAt = 8;
    Bytes f = {'I', 'I', 42, 0};
    auto put16 = [&](uint16_t v) { f.push_back((uint8_t)v); f.push_back((uint8_t)(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16((uint16_t)v); put16((uint16_t)(v >> 16)); };
    const uint32_t pixels = w * h < 4096 ? w * h : 4096;
    put32(dataAt + pixels);
    for (uint32_t i = 0; i < pixels; i++)
        f.push_back((uint8_t)(i * 13));
    std::vector<Tag> tags = {{256, 4, 1, w}, {257, 4, 1, h}, {258, 3, 1, 8}, {259, 3, 1, 1},
                             {262, 3, 1, 1}, {273, 4, 1, dataAt}, {277, 3, 1, 1}, {278, 4, 1, h},
                             {279, 4, 1, pixels}};
    for (const Tag& t : extra) {
        bool replaced = false;
        for (Tag& o : tags)
            if (o.tag == t.tag) {
                o = t;
                replaced = true;
            }
        if (!replaced)
            tags.push_back(t);
    }
    std::vector<Tag> kept;
    for (const Tag& t : tags)
        if (t.count != 0)
            kept.push_back(t);
    std::sort(kept.begin(), kept.end(), [](const Tag& a, const Tag& b) { return a.tag < b.tag; });
    put16((uint16_t)kept.size());
    for (const Tag& t : kept) {
        put16(t.tag);
        put16(t.type);
        put32(t.count);
        if (t.type == 3) {
            put16((uint16_t)t.value);
            put16(0);
        } else {
            put32(t.value);
        }
    }
    put32(0);
    return f;
}

TEST_F(TiffTest, HandMadeFilesDecodeOrFailWithATextAndAMessageBox)
{
    struct Case {
        const char* name;
        uint32_t w, h;
        std::vector<Tag> tags;
        const char* text;  // null: decodes
    } cases[] = {
        {"plain", 16, 4, {}, nullptr},
        {"rows per strip past the height", 16, 4, {{278, 4, 1, 1000}}, nullptr},
        {"zero width", 0, 4, {}, "Error encountered while opening TIFF file"},
        {"no strip offsets", 16, 4, {{273, 4, 0, 0}}, "Error encountered while opening TIFF file"},
        {"a strip past the data",
         16,
         4,
         {{273, 4, 1, 100000}},
         "TIFF strips or tiles not backed by the file"},
        {"claims a huge picture", 100000, 100000, {}, "RASTER_MAX_MEMORY exceeded"},
        {"RGB 4 bits", 16, 4, {{262, 3, 1, 2}, {277, 3, 1, 3}, {258, 3, 1, 4}}, nullptr},
        {"float samples", 16, 4, {{339, 3, 1, 3}, {258, 3, 1, 32}}, nullptr},
    };
    for (const Case& c : cases) {
        Bytes file = HandMadeTiff(c.w, c.h, c.tags);
        desktop::TakeMessageBoxes();
        RasterImage img;
        const bool ok = DecodeBytes(img, file);
        if (c.text == nullptr && std::string(c.name).find("bits") == std::string::npos &&
            std::string(c.name).find("float") == std::string::npos) {
            EXPECT_TRUE(ok) << c.name << ": " << img.GetLastError();
            EXPECT_EQ(c.w, img.GetWidth()) << c.name;
            continue;
        }
        EXPECT_FALSE(ok) << c.name;
        EXPECT_FALSE(img.IsValid()) << c.name;
        if (c.text != nullptr)
            EXPECT_STREQ(c.text, img.GetLastError()) << c.name;
        else  // libtiff's own explanation of what it cannot show
            EXPECT_NE(0, img.GetLastError()[0]) << c.name;
    }
    // libtiff's complaint about a file it refuses goes to a message box.
    Bytes broken = HandMadeTiff(0, 4, {});
    desktop::TakeMessageBoxes();
    RasterImage img;
    EXPECT_FALSE(DecodeBytes(img, broken));
    std::vector<desktop::MessageBoxShown> boxes = desktop::TakeMessageBoxes();
    ASSERT_FALSE(boxes.empty());
    const std::string caption = boxes.back().caption;
    EXPECT_EQ(" Error", caption.substr(caption.size() - 6)) << caption;
    EXPECT_EQ((UINT)MB_ICONEXCLAMATION, boxes.back().type);
}

TEST_F(TiffTest, SizeOnlyProbeAndEmbeddedStreams)
{
    Bytes file = HandMadeTiff(16, 4, {});
    RasterImage size;
    size.SetEscape(-1);
    EXPECT_TRUE(DecodeBytes(size, file));
    EXPECT_STREQ("output dimensions returned", size.GetLastError());
    EXPECT_EQ(16u, size.GetWidth());
    EXPECT_EQ(4u, size.GetHeight());
    EXPECT_FALSE(size.IsValid());
    RasterImage stopped;
    stopped.SetEscape(1);
    EXPECT_FALSE(DecodeBytes(stopped, file));
    EXPECT_STREQ("Cancelled", stopped.GetLastError());

    // The probe finds TIFF after the formats before it, quietly.
    desktop::TakeMessageBoxes();
    RasterImage probed;
    ASSERT_TRUE(DecodeBytes(probed, file, RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ((DWORD)RASTER_FORMAT_TIF, probed.GetType());
    EXPECT_EQ(COMPRESSION_NONE, (int)probed.GetCodecOption());
    RasterImage bmp;
    Paint(bmp, 4, 4, 24, false);
    Bytes bmpFile = EncodedBytes(bmp, RASTER_FORMAT_BMP);
    RasterImage notTiff;
    EXPECT_FALSE(DecodeBytes(notTiff, bmpFile));
    EXPECT_STREQ("Error encountered while opening TIFF file", notTiff.GetLastError());
    EXPECT_TRUE(desktop::TakeMessageBoxes().empty());

    // A TIFF file 100 bytes into a stream reads from there.
    Bytes padded(100 + file.size(), 0xAB);
    std::copy(file.begin(), file.end(), padded.begin() + 100);
    RasterMemFile mem(padded.data(), (DWORD)padded.size());
    ASSERT_TRUE(mem.Seek(100, SEEK_SET));
    RasterImageTIF inner;
    ASSERT_TRUE(inner.Decode(&mem)) << inner.GetLastError();
    EXPECT_EQ(13, inner.GetPixelIndex(1, 3));
}

TEST_F(TiffTest, ResolutionInCentimetresAndPositionAreRead)
{
    Bytes file = MakeTiff(
        4, 2,
        [](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, 100.0);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, 40.0);
            TIFFSetField(tif, TIFFTAG_XPOSITION, 3.0);
            TIFFSetField(tif, TIFFTAG_YPOSITION, 7.0);
        },
        [](uint32_t) { return Bytes(4, 9); }, Path("cm.tif"));
    RasterImage img;
    ASSERT_TRUE(DecodeBytes(img, file)) << img.GetLastError();
    EXPECT_EQ(254, img.GetXDPI());  // 100 * 2.54 + 0.5, truncated
    EXPECT_EQ(102, img.GetYDPI());
    long x = 0, y = 0;
    img.GetOffset(&x, &y);
    EXPECT_EQ(3, x);
    EXPECT_EQ(7, y);

    RasterImageTIF codec;
    EXPECT_EQ(nullptr, codec.TIFFOpenEx(nullptr));
    codec.TIFFCloseEx(nullptr);
    RasterMemFile mem(file.data(), (DWORD)file.size());
    TIFF* tif = codec.TIFFOpenEx(&mem);
    ASSERT_NE(nullptr, tif);
    EXPECT_EQ(1, TIFFNumberOfDirectories(tif));
    codec.TIFFCloseEx(tif);
}

}  // namespace
