// What a small file may cost: pixels its data cannot back come out of one
// allowance the host sets, counted by the bytes the decode allocates, never
// by time; every failure carries a text, for every prefix of a valid file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <raster.h>
#include "alloc_counter.h"
#include "encoded_bytes.h"
#include "test_files.h"

namespace {

void Put16(Bytes& b, unsigned v)
{
    b.push_back(BYTE(v));
    b.push_back(BYTE(v >> 8));
}

void Put32(Bytes& b, unsigned v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A bitmap file: the file header, a `headerSize` info header for w x h at
// `bits` with `compression`, and then `tail` (masks, palette, pixels).
Bytes Bmp(int w, int h, unsigned bits, unsigned compression, const Bytes& tail, unsigned headerSize = 40)
{
    Bytes b = {'B', 'M'};
    Put32(b, unsigned(14 + headerSize + tail.size()));
    Put32(b, 0);
    Put32(b, 14 + headerSize + (compression == 3 && headerSize == 40 ? 12 : 0));
    Put32(b, headerSize);
    Put32(b, unsigned(w));
    Put32(b, unsigned(h));
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, compression);
    while (b.size() < 14 + headerSize)
        b.push_back(0);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

bool Decode(RasterImage& img, const Bytes& file, DWORD type)
{
    return img.Decode(const_cast<BYTE*>(file.data()), DWORD(file.size()), type);
}

// Runs the decode under a counter; the bytes it allocated in all.
size_t Allocated(RasterImage& img, const Bytes& file, DWORD type, bool& ok)
{
    const AllocCounter counter;
    ok = Decode(img, file, type);
    return counter.Total();
}

TEST(RasterBounds, TheCounterSeesAllocations)
{
    if (!AllocCounter::Available())
        GTEST_SKIP() << "the sanitizers own the allocator";
    const AllocCounter counter;
    volatile char* p = static_cast<volatile char*>(std::malloc(1 << 20));
    p[0] = 1;
    std::free(const_cast<char*>(p));
    EXPECT_GE(counter.Total(), size_t(1) << 20);
}

TEST(RasterBounds, HeadersClaimingWhatTheirDataCannotHoldCostLittle)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    struct Case {
        const char* what;
        Bytes file;
        DWORD type;
    } cases[] = {
        {"BMP 30000 x 30000 at 24 bits, no pixels", Bmp(30000, 30000, 24, 0, Bytes(16, 0)), RASTER_FORMAT_BMP},
        {"BMP 30000 x 30000 at 1 bit, no pixels", Bmp(30000, 30000, 1, 0, Bytes(8, 0)), RASTER_FORMAT_BMP},
        {"BMP 30000 x 30000 run-length, one end code", Bmp(30000, 30000, 8, 1, {0, 1}), RASTER_FORMAT_BMP},
        {"BMP 20000 x 20000 at 32 bits, masks only", Bmp(20000, 20000, 32, 3, Bytes(12, 0xFF)), RASTER_FORMAT_BMP},
    };
    // No rows: nothing to make however wide they claim to be.
    const Bytes flat = Bmp(2000000000, 0, 32, 0, Bytes(4, 0));
    RasterImage img;
    bool ok = false;
    const size_t bytes = Allocated(img, flat, RASTER_FORMAT_BMP, ok);
    EXPECT_TRUE(ok);
    if (AllocCounter::Available()) {
        EXPECT_LT(bytes, size_t(1) << 20);
    }
    for (const Case& c : cases) {
        RasterImage img;
        bool ok = true;
        const size_t bytes = Allocated(img, c.file, c.type, ok);
        EXPECT_FALSE(ok) << c.what;
        EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError()) << c.what;
        if (AllocCounter::Available()) {
            EXPECT_LT(bytes, size_t(1) << 20) << c.what;
        }
    }
}

TEST(RasterBounds, TheAllowanceLetsCutFilesShowAndTheHostMovesIt)
{
    // 1000 x 1000 at 24 bits with one row: 999 rows nobody wrote.
    const Bytes cut = Bmp(1000, 1000, 24, 0, Bytes(3000, 0x40));
    const unsigned long long allowance = RasterGetUnbackedPixels();
    EXPECT_EQ(allowance, 4194304u);
    RasterImage img;
    ASSERT_TRUE(Decode(img, cut, RASTER_FORMAT_BMP));
    EXPECT_EQ(1000u, img.GetHeight());
    RasterSetUnbackedPixels(998 * 1000);
    EXPECT_FALSE(Decode(img, cut, RASTER_FORMAT_BMP));
    RasterSetUnbackedPixels(999 * 1000);
    EXPECT_TRUE(Decode(img, cut, RASTER_FORMAT_BMP));
    RasterSetUnbackedPixels(allowance);
}

TEST(RasterBounds, ThirtyTwoBitMasksPlaceEachChannel)
{
    // One pixel, value 0x12345678 little-endian, under each set of masks.
    struct Case {
        const char* what;
        unsigned red, green, blue;
        unsigned char r, g, b;
    } cases[] = {
        {"usual order", 0x00FF0000, 0x0000FF00, 0x000000FF, 0x34, 0x56, 0x78},
        {"reversed", 0x000000FF, 0x0000FF00, 0x00FF0000, 0x78, 0x56, 0x34},
        {"top byte red", 0xFF000000, 0x00FF0000, 0x0000FF00, 0x12, 0x34, 0x56},
        {"ten bits each", 0x3FF00000, 0x000FFC00, 0x000003FF, 0x48, 0x45, 0x9E},
        {"no masks: usual order", 0, 0, 0, 0x34, 0x56, 0x78},
    };
    for (const Case& c : cases) {
        for (unsigned headerSize : {40u, 108u}) {
            Bytes tail;
            Bytes masks;
            Put32(masks, c.red);
            Put32(masks, c.green);
            Put32(masks, c.blue);
            if (headerSize == 40)
                tail = masks;
            Put32(tail, 0x12345678);
            Bytes file = Bmp(1, 1, 32, 3, tail, headerSize);
            if (headerSize == 108)
                std::copy(masks.begin(), masks.end(), file.begin() + 14 + 40);
            RasterImage img;
            ASSERT_TRUE(Decode(img, file, RASTER_FORMAT_BMP)) << c.what << " " << img.GetLastError();
            const RGBQUAD px = img.GetPixelColor(0, 0);
            EXPECT_EQ(c.r, px.rgbRed) << c.what << " " << headerSize;
            EXPECT_EQ(c.g, px.rgbGreen) << c.what << " " << headerSize;
            EXPECT_EQ(c.b, px.rgbBlue) << c.what << " " << headerSize;
        }
    }
}

TEST(RasterBounds, EveryPrefixOfAValidFileFailsWithAText)
{
    RasterImage pic(9, 7, 24, 0);
    for (int y = 0; y < 7; y++)
        for (int x = 0; x < 9; x++)
            pic.SetPixelColor(x, y, RGBQUAD{BYTE(x * 20), BYTE(y * 30), BYTE(x * y), 0});
    // 2 x 2 of index 0: codes clear, 0, 0, 0 at 3 bits, 0 and end at 4.
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                       0x21, 0xF9, 4, 1, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0,
                       2, 3, 0x04, 0x00, 0x05, 0, 0x3B};
    struct Case {
        DWORD type;
        Bytes file;
    } cases[] = {
        {RASTER_FORMAT_BMP, EncodedBytes(pic, RASTER_FORMAT_BMP)},
        {RASTER_FORMAT_PNG, EncodedBytes(pic, RASTER_FORMAT_PNG)},
        {RASTER_FORMAT_GIF, gif},
    };
    TempDir tmp("kestrel-bounds-");
    const std::string path = tmp.Path("cut");
    for (const Case& c : cases) {
        RasterImage whole;
        ASSERT_TRUE(Decode(whole, c.file, c.type)) << c.type << " " << whole.GetLastError();
        for (size_t n = 0; n < c.file.size(); n++) {
            const Bytes cut(c.file.begin(), c.file.begin() + long(n));
            WriteFile(path, cut);
            RasterImage byPath, byMemory;
            if (!byPath.Load(path.c_str(), c.type)) {
                EXPECT_STRNE("", byPath.GetLastError()) << c.type << " " << n;
            }
            if (!Decode(byMemory, cut, c.type)) {
                EXPECT_STRNE("", byMemory.GetLastError()) << c.type << " " << n;
            }
        }
    }
}

}  // namespace
