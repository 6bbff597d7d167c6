// The TIFF decoder on files built here: 16-bit and signed samples reach the
// levels other readers give, strips and tiles the file does not hold fail
// with a text (a cut file keeps its rows), and pages whose header claims
// more than the data can make cost little, counted by the bytes the decode
// allocates.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <desktop/desktop.h>
#include <raster.h>
#include "alloc_counter.h"
#include "test_files.h"

namespace {

const char kNotBacked[] = "TIFF strips or tiles not backed by the file";
const char kTooLarge[] = "RASTER_MAX_MEMORY exceeded";

bool Decode(RasterImage& img, Bytes& file)
{
    return img.Decode(file.data(), (DWORD)file.size(), RASTER_FORMAT_TIF);
}

// One directory entry; `count` differs from the values' number only where a
// test wants a tag that says it has none.
struct Entry {
    uint16_t tag, type;
    std::vector<uint32_t> values;
    int count = -1;  // -1: values.size()
};

// A little-endian file: the header, `data` at offset 8, the directory, then
// the arrays of entries with more than one value.
Bytes RawTiff(const Bytes& data, std::vector<Entry> entries)
{
    Bytes f = {'I', 'I', 42, 0};
    auto put16 = [](Bytes& b, uint32_t v) {
        b.push_back((uint8_t)v);
        b.push_back((uint8_t)(v >> 8));
    };
    auto put32 = [&](Bytes& b, uint32_t v) {
        put16(b, v & 0xFFFF);
        put16(b, v >> 16);
    };
    const uint32_t ifd = 8 + (uint32_t)data.size();
    put32(f, ifd);
    f.insert(f.end(), data.begin(), data.end());
    Bytes arrays;
    const uint32_t arraysAt = ifd + 2 + 12 * (uint32_t)entries.size() + 4;
    put16(f, (uint32_t)entries.size());
    for (const Entry& e : entries) {
        const uint32_t count = e.count >= 0 ? (uint32_t)e.count : (uint32_t)e.values.size();
        put16(f, e.tag);
        put16(f, e.type);
        put32(f, count);
        const size_t size = e.type == 3 ? 2 : 4;
        if (e.values.size() * size <= 4) {
            Bytes inline4;
            for (uint32_t v : e.values)
                size == 2 ? put16(inline4, v) : put32(inline4, v);
            inline4.resize(4, 0);
            f.insert(f.end(), inline4.begin(), inline4.end());
        } else {
            put32(f, arraysAt + (uint32_t)arrays.size());
            for (uint32_t v : e.values)
                size == 2 ? put16(arrays, v) : put32(arrays, v);
        }
    }
    put32(f, 0);
    f.insert(f.end(), arrays.begin(), arrays.end());
    return f;
}

// The usual entries of a w x h page of `spp` samples of `bits` bits.
std::vector<Entry> Page(uint32_t w, uint32_t h, uint32_t bits, uint32_t spp, uint32_t photometric,
                        uint32_t compression = 1)
{
    return {{256, 4, {w}},           {257, 4, {h}},           {258, 3, {bits}},
            {259, 3, {compression}}, {262, 3, {photometric}}, {277, 3, {spp}}};
}

// Sorted by tag, as a directory must be.
std::vector<Entry> With(std::vector<Entry> page, const std::vector<Entry>& more)
{
    page.insert(page.end(), more.begin(), more.end());
    std::sort(page.begin(), page.end(),
              [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    return page;
}

Bytes Samples16(const std::vector<uint16_t>& v)
{
    Bytes b;
    for (uint16_t s : v) {
        b.push_back((uint8_t)s);
        b.push_back((uint8_t)(s >> 8));
    }
    return b;
}

TEST(TiffBounds, SixteenBitGreyKeepsItsHighByteAndColourRounds)
{
    // Grey: 0x7F00 is level 127 (the high byte), where dividing by 257
    // would give 126.
    const std::vector<uint16_t> grey = {0x0000, 0x7F00, 0x7FFF, 0x80FF, 0x652C, 0xFFFF};
    const Bytes greyData = Samples16(grey);
    Bytes greyFile = RawTiff(
        greyData, With(Page(6, 1, 16, 1, 1),
                       {{273, 4, {8}}, {278, 4, {1}}, {279, 4, {(uint32_t)greyData.size()}}}));
    RasterImage img;
    ASSERT_TRUE(Decode(img, greyFile)) << img.GetLastError();
    for (int x = 0; x < 6; x++) {
        SCOPED_TRACE(x);
        EXPECT_EQ(grey[x] >> 8, img.GetPixelColor(x, 0, false).rgbRed);
    }
    // Colour: the nearest step of 257, as libtiff's RGBA reader rounds.
    const std::vector<uint16_t> rgb = {25900, 0x7F00, 128, 0x80FF, 65535, 0};
    const Bytes rgbData = Samples16(rgb);
    Bytes rgbFile = RawTiff(
        rgbData, With(Page(2, 1, 16, 3, 2),
                      {{273, 4, {8}}, {278, 4, {1}}, {279, 4, {(uint32_t)rgbData.size()}}}));
    ASSERT_TRUE(Decode(img, rgbFile)) << img.GetLastError();
    for (int x = 0; x < 2; x++) {
        SCOPED_TRACE(x);
        RGBQUAD c = img.GetPixelColor(x, 0, false);
        EXPECT_EQ((rgb[3 * x] + 128) / 257, c.rgbRed);
        EXPECT_EQ((rgb[3 * x + 1] + 128) / 257, c.rgbGreen);
        EXPECT_EQ((rgb[3 * x + 2] + 128) / 257, c.rgbBlue);
    }
}

TEST(TiffBounds, SignedSamplesSpanBlackToWhite)
{
    // Two's complement: the most negative value is black, the largest white.
    const std::vector<uint16_t> grey = {0x8000, 0xFFFF, 0x0000, 0x7FFF};
    const Bytes greyData = Samples16(grey);
    struct Case {
        const char* name;
        Bytes file;
        std::vector<int> levels;  // red of each pixel; empty: refused
    } cases[] = {
        {"grey 16",
         RawTiff(greyData, With(Page(4, 1, 16, 1, 1),
                                {{273, 4, {8}}, {278, 4, {1}}, {279, 4, {8}}, {339, 3, {2}}})),
         {0, 127, 128, 255}},
        {"grey 8",
         RawTiff({0x80, 0xFF, 0x00, 0x7F},
                 With(Page(4, 1, 8, 1, 1),
                      {{273, 4, {8}}, {278, 4, {1}}, {279, 4, {4}}, {339, 3, {2}}})),
         {0, 127, 128, 255}},
        {"rgb 16",
         RawTiff(Samples16({0x8000, 0x8000, 0x8000, 0x7FFF, 0x7FFF, 0x7FFF}),
                 With(Page(2, 1, 16, 3, 2),
                      {{273, 4, {8}}, {278, 4, {1}}, {279, 4, {12}}, {339, 3, {2, 2, 2}}})),
         {0, 255}},
        {"grey 4",
         RawTiff({0x8F}, With(Page(2, 1, 4, 1, 1),
                              {{273, 4, {8}}, {278, 4, {1}}, {279, 4, {1}}, {339, 3, {2}}})),
         {}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        RasterImage img;
        const bool ok = Decode(img, c.file);
        if (c.levels.empty()) {
            EXPECT_FALSE(ok);
            EXPECT_STREQ("TIFF signed samples in this layout are not supported",
                         img.GetLastError());
            continue;
        }
        ASSERT_TRUE(ok) << img.GetLastError();
        for (size_t x = 0; x < c.levels.size(); x++)
            EXPECT_EQ(c.levels[x], img.GetPixelColor((long)x, 0, false).rgbRed) << x;
    }
    desktop::TakeMessageBoxes();
}

TEST(TiffBounds, SixteenBitAssociatedAlphaIsDividedBeforeBeingCut)
{
    // Premultiplied colours under faint alpha: dividing the 16-bit values
    // keeps what cutting them to 8 bits first would lose.
    std::vector<uint16_t> samples;
    for (uint16_t a : {0x0A00, 0x0F00, 0x0300, 0x8000, 0xFFFF, 0x0000})
        for (uint16_t c : {0x0180, 0x0900, 0x00FF})
            samples.insert(samples.end(), {uint16_t(c < a ? c : a), uint16_t(c / 2 < a ? c / 2 : a),
                                           uint16_t(c / 3 < a ? c / 3 : a), a});
    const uint32_t n = (uint32_t)samples.size() / 4;
    const Bytes data = Samples16(samples);
    Bytes file = RawTiff(
        data,
        With(Page(n, 1, 16, 4, 2),
             {{273, 4, {8}}, {278, 4, {1}}, {279, 4, {(uint32_t)data.size()}}, {338, 3, {1}}}));
    RasterImage img;
    ASSERT_TRUE(Decode(img, file)) << img.GetLastError();
    ASSERT_TRUE(img.AlphaIsValid());
    for (uint32_t x = 0; x < n; x++) {
        SCOPED_TRACE(x);
        const uint16_t* s = &samples[4 * x];
        const unsigned a = s[3];
        auto straight = [&](unsigned c) {
            if (a == 0)
                return 0u;
            const unsigned v = (c * 65535u + a / 2) / a;
            return ((v > 65535 ? 65535 : v) + 128) / 257;
        };
        RGBQUAD c = img.GetPixelColor((long)x, 0, false);
        EXPECT_EQ((a + 128) / 257, img.AlphaGet((long)x, 0));
        EXPECT_EQ(straight(s[0]), c.rgbRed);
        EXPECT_EQ(straight(s[1]), c.rgbGreen);
        EXPECT_EQ(straight(s[2]), c.rgbBlue);
    }
}

// A 4 x 4 grey page, a row a strip: rows 0x10, 0x20, 0x30, 0x40.
const Bytes kRows = {0x10, 0x10, 0x10, 0x10, 0x20, 0x20, 0x20, 0x20,
                     0x30, 0x30, 0x30, 0x30, 0x40, 0x40, 0x40, 0x40};

TEST(TiffBounds, StripsTheFileDoesNotHoldFailWithAText)
{
    struct Case {
        const char* name;
        std::vector<Entry> strips;
    } cases[] = {
        {"offsets with count 0", {{273, 4, {8}, 0}, {278, 4, {1}}, {279, 4, {4, 4, 4, 4}}}},
        {"byte counts with count 0", {{273, 4, {8, 12, 16, 20}}, {278, 4, {1}}, {279, 4, {4}, 0}}},
        {"offsets outside the file",
         {{273, 4, {5000, 5004, 5008, 5012}}, {278, 4, {1}}, {279, 4, {4, 4, 4, 4}}}},
        {"two strips for four rows", {{273, 4, {8, 12}}, {278, 4, {1}}, {279, 4, {4, 4}}}},
        {"a strip of no bytes", {{273, 4, {8, 12, 16, 20}}, {278, 4, {1}}, {279, 4, {4, 0, 4, 4}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = RawTiff(kRows, With(Page(4, 4, 8, 1, 1), c.strips));
        RasterImage img;
        EXPECT_FALSE(Decode(img, file));
        EXPECT_FALSE(img.IsValid());
        EXPECT_STREQ(kNotBacked, img.GetLastError());
    }
    // Uncompressed planes shorter than their rows, the file going on after
    // them: the rest would be read from the next plane. (A single short
    // strip is one libtiff mends itself, counting from the page's size.)
    Bytes shortPlanes = RawTiff(
        kRows, With(Page(4, 4, 8, 3, 2),
                    {{273, 4, {8, 12, 16}}, {278, 4, {4}}, {279, 4, {4, 4, 4}}, {284, 3, {2}}}));
    {
        RasterImage img;
        EXPECT_FALSE(Decode(img, shortPlanes));
        EXPECT_STREQ(kNotBacked, img.GetLastError());
    }
    // Separate planes whose second and third planes have no strips.
    Bytes planes =
        RawTiff(kRows, With(Page(4, 4, 8, 3, 2),
                            {{273, 4, {8}}, {278, 4, {4}}, {279, 4, {16}}, {284, 3, {2}}}));
    RasterImage img;
    EXPECT_FALSE(Decode(img, planes));
    EXPECT_STREQ(kNotBacked, img.GetLastError());
    desktop::TakeMessageBoxes();
}

TEST(TiffBounds, ACutFileKeepsTheRowsItHolds)
{
    // Grey strips, grey tiles, and CMYK strips (through libtiff's RGBA
    // reader), cut after their first two rows.
    for (const int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode == 0 ? "strips" : mode == 1 ? "tiles" : "cmyk");
        const bool tiled = mode == 1, cmyk = mode == 2;
        std::vector<Entry> layout;
        Bytes data = kRows;
        uint32_t keep = 8, spp = 1, photometric = 1;
        if (tiled) {
            layout = {{322, 3, {16}}, {323, 3, {2}}, {324, 4, {8, 40}}, {325, 4, {32, 32}}};
            data.assign(64, 0);
            for (int r = 0; r < 4; r++)
                for (int x = 0; x < 4; x++)
                    data[(size_t)(r < 2 ? 16 * r : 32 + 16 * (r - 2)) + x] = kRows[4 * r];
            keep = 32;
        } else if (cmyk) {
            // No ink but black: red is 255 less the black ink.
            layout = {{273, 4, {8, 24, 40, 56}}, {278, 4, {1}}, {279, 4, {16, 16, 16, 16}}};
            data.assign(64, 0);
            for (int r = 0; r < 4; r++)
                for (int x = 0; x < 4; x++)
                    data[(size_t)(16 * r + 4 * x + 3)] = (BYTE)(255 - kRows[4 * r]);
            keep = 32;
            spp = 4;
            photometric = 5;
        } else {
            layout = {{273, 4, {8, 12, 16, 20}}, {278, 4, {1}}, {279, 4, {4, 4, 4, 4}}};
        }
        const std::vector<Entry> page = Page(4, 4, 8, spp, photometric);
        Bytes whole = RawTiff(data, With(page, layout));
        RasterImage full;
        ASSERT_TRUE(Decode(full, whole)) << full.GetLastError();
        // The directory goes first so that cutting the data leaves it whole.
        std::vector<Entry> moved = layout;
        const uint32_t shift =
            2 + 12 * (uint32_t)(page.size() + layout.size()) + 4 + (tiled ? 16 : 32);
        for (Entry& e : moved)
            if (e.tag == 273 || e.tag == 324)
                for (uint32_t& v : e.values)
                    v += shift;
        Bytes cut = RawTiff(Bytes(), With(page, moved));
        ASSERT_EQ(8 + shift, cut.size());
        cut.insert(cut.end(), data.begin(), data.begin() + keep);
        RasterImage img;
        ASSERT_TRUE(Decode(img, cut)) << img.GetLastError();
        ASSERT_EQ(4u, img.GetHeight());
        for (int r = 0; r < 4; r++)
            for (int x = 0; x < 4; x++) {
                const BYTE want = r < 2 ? kRows[4 * r] : 0;
                EXPECT_EQ(want, img.GetPixelColor(x, 3 - r, false).rgbRed) << r << "," << x;
                EXPECT_EQ(kRows[4 * r], full.GetPixelColor(x, 3 - r, false).rgbRed) << r;
            }
    }
    desktop::TakeMessageBoxes();
}

// Bytes the decode allocated at most at once (0 where nothing is counted).
size_t PeakOf(RasterImage& img, Bytes& file, bool& ok)
{
    const AllocCounter counter;
    ok = Decode(img, file);
    return counter.Peak();
}

TEST(TiffBounds, ClaimsTheDataCannotBackCostLittle)
{
    // Each file is well under 2 KB and claims far more than its data makes.
    Bytes filler(1500, 0x55);
    struct Case {
        const char* name;
        std::vector<Entry> entries;
    } cases[] = {
        {"tiles of 65520 x 65520",
         With(Page(16, 16, 8, 1, 1),
              {{322, 3, {65520}}, {323, 3, {65520}}, {324, 4, {8}}, {325, 4, {1500}}})},
        {"16-bit RGBA tiles of 4096 x 4096",
         With(
             Page(16, 16, 16, 4, 2, 8),
             {{322, 3, {4096}}, {323, 3, {4096}}, {324, 4, {8}}, {325, 4, {1500}}, {338, 3, {2}}})},
        {"ZSTD 8000 x 8000 RGB", With(Page(8000, 8000, 8, 3, 2, 50000),
                                      {{273, 4, {8}}, {278, 4, {8000}}, {279, 4, {1500}}})},
        {"LZMA 8000 x 8000 RGB", With(Page(8000, 8000, 8, 3, 2, 34925),
                                      {{273, 4, {8}}, {278, 4, {8000}}, {279, 4, {1500}}})},
        {"G4 100000 x 60000", With(Page(60000, 100000, 1, 1, 0, 4),
                                   {{273, 4, {8}}, {278, 4, {100000}}, {279, 4, {1500}}})},
        {"G3 100000 x 60000", With(Page(60000, 100000, 1, 1, 0, 3),
                                   {{273, 4, {8}}, {278, 4, {100000}}, {279, 4, {1500}}})},
        // Fax coding of two samples a pixel: no row-a-bit bound.
        {"G4 32784 x 1026 of two samples",
         With(Page(32784, 1026, 1, 2, 1, 4), {{273, 4, {8}}, {278, 4, {1026}}, {279, 4, {1500}}})},
        {"unknown compression", With(Page(8000, 8000, 8, 3, 2, 60123),
                                     {{273, 4, {8}}, {278, 4, {8000}}, {279, 4, {1500}}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = RawTiff(filler, c.entries);
        RasterImage img;
        bool ok = true;
        const size_t peak = PeakOf(img, file, ok);
        EXPECT_FALSE(ok);
        EXPECT_STREQ(kTooLarge, img.GetLastError());
        if (AllocCounter::Available()) {
            EXPECT_LT(peak, size_t(1) << 20);
        }
    }
    desktop::TakeMessageBoxes();
}

TEST(TiffBounds, AOneStripPageCostsThePictureAndLittleMore)
{
    // An honest G4 page of blank rows, one strip: a few hundred bytes for
    // 8 MB of pixels. Read strip by strip into the picture, no page-sized
    // buffer stands beside it.
    TempDir dir("tiff_bounds_");
    const std::string path = dir.Path("g4.tif");
    const uint32_t w = 8192, h = 8192;
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(nullptr, tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    Bytes row(w / 8, 0);
    for (uint32_t y = 0; y < h; y++) {
        row[y % (w / 8)] = y % 7 == 0 ? 0x80 : 0;
        ASSERT_EQ(1, TIFFWriteScanline(tif, row.data(), y, 0));
        row[y % (w / 8)] = 0;
    }
    TIFFClose(tif);
    Bytes file = ReadFile(path);
    ASSERT_LT(file.size(), 64u * 1024);
    RasterImage img;
    bool ok = false;
    const size_t peak = PeakOf(img, file, ok);
    ASSERT_TRUE(ok) << img.GetLastError();
    EXPECT_EQ(1, img.GetPixelIndex(0, (long)h - 1));
    EXPECT_EQ(0, img.GetPixelIndex(1, (long)h - 1));
    EXPECT_EQ(1, img.GetPixelIndex(7 * 8, (long)h - 1 - 7));
    if (AllocCounter::Available()) {
        const size_t picture = (size_t)w / 8 * h;
        EXPECT_LT(peak, picture + picture / 8);
    }
}

}  // namespace

namespace {

TEST(TiffBounds, StripsDecodedWhereTheirRowsLieKeepEveryPixel)
{
    // Rows whose width fills whole words are decoded into the picture and
    // turned there: odd and even strips, a short last strip, widths that
    // leave a few pixels past the sixteen-pixel blocks.
    TempDir dir("tiff_turn_");
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (uint8_t)(seed >> 16);
    };
    struct Case {
        uint32_t w, h, rows, spp;
    } cases[] = {{52, 11, 3, 3}, {20, 8, 4, 3}, {4, 5, 5, 3}, {68, 7, 2, 1}, {16, 9, 9, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " spp " +
                     std::to_string(c.spp));
        std::vector<Bytes> rows(c.h);
        const std::string path = dir.Path("turn.tif");
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(nullptr, tif);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, c.w);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, c.h);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, c.spp);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     c.spp == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, c.rows);
        for (uint32_t y = 0; y < c.h; y++) {
            rows[y].resize((size_t)c.w * c.spp);
            for (uint8_t& v : rows[y])
                v = next();
            ASSERT_EQ(1, TIFFWriteScanline(tif, rows[y].data(), y, 0));
        }
        TIFFClose(tif);
        Bytes file = ReadFile(path);
        RasterImage img;
        ASSERT_TRUE(Decode(img, file)) << img.GetLastError();
        for (uint32_t y = 0; y < c.h; y++)
            for (uint32_t x = 0; x < c.w; x++) {
                const RGBQUAD got = img.GetPixelColor((long)x, (long)(c.h - 1 - y), false);
                const uint8_t* want = &rows[y][(size_t)x * c.spp];
                ASSERT_EQ(want[0], got.rgbRed) << x << "," << y;
                ASSERT_EQ(want[c.spp == 3 ? 1 : 0], got.rgbGreen) << x << "," << y;
                ASSERT_EQ(want[c.spp == 3 ? 2 : 0], got.rgbBlue) << x << "," << y;
            }
    }
}

}  // namespace

namespace {

TEST(TiffBounds, LargePlanesGoStraightIntoThePicture)
{
    // Four planes, each one strip of 4.3 MB: read plane by plane into the
    // picture and its alpha, with no strip of any plane beside them.
    TempDir dir("tiff_planes_");
    const std::string path = dir.Path("planes.tif");
    const uint32_t w = 2048, h = 2100;
    auto sample = [](uint32_t x, uint32_t y, uint16_t s) {
        return (uint8_t)(x * (s + 1) + y * 3 + s * 50);
    };
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(nullptr, tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    Bytes row(w);
    for (uint16_t s = 0; s < 4; s++)
        for (uint32_t y = 0; y < h; y++) {
            for (uint32_t x = 0; x < w; x++)
                row[x] = sample(x, y, s);
            ASSERT_EQ(1, TIFFWriteScanline(tif, row.data(), y, s));
        }
    TIFFClose(tif);
    Bytes file = ReadFile(path);
    RasterImage img;
    bool ok = false;
    const size_t peak = PeakOf(img, file, ok);
    ASSERT_TRUE(ok) << img.GetLastError();
    ASSERT_TRUE(img.AlphaIsValid());
    for (uint32_t y = 0; y < h; y += 97)
        for (uint32_t x = 0; x < w; x += 13) {
            const RGBQUAD c = img.GetPixelColor((long)x, (long)(h - 1 - y), false);
            ASSERT_EQ(sample(x, y, 0), c.rgbRed) << x << "," << y;
            ASSERT_EQ(sample(x, y, 1), c.rgbGreen) << x << "," << y;
            ASSERT_EQ(sample(x, y, 2), c.rgbBlue) << x << "," << y;
            ASSERT_EQ(sample(x, y, 3), img.AlphaGet((long)x, (long)(h - 1 - y))) << x << "," << y;
        }
    if (AllocCounter::Available()) {
        const size_t picture = (size_t)w * h * 4;
        EXPECT_LT(peak, picture + picture / 8);
    }
}

}  // namespace
