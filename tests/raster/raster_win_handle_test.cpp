// Images to and from global memory blocks holding packed DIBs: random
// pictures written by the test in every header form and depth read back
// exactly, the image's own block round-tripped, and blocks that lie.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <raster.h>

#include "magick.h"

namespace {

void U16(Bytes& b, WORD v)
{
    b.push_back((BYTE)v);
    b.push_back((BYTE)(v >> 8));
}

void U32(Bytes& b, DWORD v)
{
    U16(b, (WORD)v);
    U16(b, (WORD)(v >> 16));
}

// A picture as the test knows it: top row first; each pixel a palette index
// (depths up to 8) or 0xRRGGBB.
struct Picture {
    int w = 0, h = 0, bpp = 8;
    std::vector<DWORD> palette;  // 0xRRGGBB
    std::vector<DWORD> px;
    DWORD at(int x, int y) const { return px[(size_t)y * w + x]; }
};

Picture RandomPicture(std::mt19937& rng, int w, int h, int bpp)
{
    Picture p;
    p.w = w;
    p.h = h;
    p.bpp = bpp;
    if (bpp <= 8)
        for (int i = 0; i < (1 << bpp); i++)
            p.palette.push_back(rng() & 0xFFFFFF);
    const DWORD limit = bpp <= 8 ? (1u << bpp) : 1u << 24;
    for (int i = 0; i < w * h; i++)
        p.px.push_back(rng() % limit);
    return p;
}

struct Form {
    DWORD headerSize;    // 12, 40, 108 or 124
    DWORD compression;   // BI_RGB or BI_BITFIELDS
    DWORD masks[3];      // of BI_BITFIELDS
    bool topDown;
};

// The packed DIB of a picture: header, colour table (or masks after a
// 40-byte header), rows padded to 4 bytes, bottom row first unless top-down.
Bytes PackedDib(const Picture& p, const Form& f, LONG ppm = 3780)
{
    Bytes b;
    const LONG h = f.topDown ? -p.h : p.h;
    if (f.headerSize == 12) {
        U32(b, 12);
        U16(b, (WORD)p.w);
        U16(b, (WORD)p.h);
        U16(b, 1);
        U16(b, (WORD)p.bpp);
    } else {
        U32(b, f.headerSize);
        U32(b, (DWORD)p.w);
        U32(b, (DWORD)h);
        U16(b, 1);
        U16(b, (WORD)p.bpp);
        U32(b, f.compression);
        U32(b, 0);
        U32(b, (DWORD)ppm);
        U32(b, (DWORD)ppm);
        U32(b, (DWORD)p.palette.size());
        U32(b, 0);
        if (f.headerSize > 40) {
            for (DWORD m : f.masks)
                U32(b, m);
            b.resize(f.headerSize, 0x5A);  // alpha mask, colour space: ignored
        } else if (f.compression == BI_BITFIELDS) {
            for (DWORD m : f.masks)
                U32(b, m);
        }
    }
    for (DWORD c : p.palette) {
        b.push_back((BYTE)c);
        b.push_back((BYTE)(c >> 8));
        b.push_back((BYTE)(c >> 16));
        if (f.headerSize != 12)
            b.push_back(0);
    }
    const size_t stride = ((size_t)p.bpp * p.w + 31) / 32 * 4;
    for (int r = 0; r < p.h; r++) {
        const int y = f.topDown ? r : p.h - 1 - r;
        Bytes row(stride, 0);
        for (int x = 0; x < p.w; x++) {
            const DWORD v = p.at(x, y);
            switch (p.bpp) {
            case 1: row[x / 8] |= (BYTE)(v << (7 - x % 8)); break;
            case 4: row[x / 2] |= (BYTE)(v << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = (BYTE)v; break;
            case 16: row[2 * x] = (BYTE)v; row[2 * x + 1] = (BYTE)(v >> 8); break;
            case 24: row[3 * x] = (BYTE)v; row[3 * x + 1] = (BYTE)(v >> 8); row[3 * x + 2] = (BYTE)(v >> 16); break;
            case 32:
                for (int k = 0; k < 4; k++)
                    row[4 * x + k] = (BYTE)(v >> (8 * k));
                break;
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

HGLOBAL Block(const Bytes& b)
{
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, b.size());
    if (g == NULL)
        return NULL;
    void* p = GlobalLock(g);
    if (!b.empty())
        memcpy(p, b.data(), b.size());
    GlobalUnlock(g);
    return g;
}

// Reads a block into a fresh image and frees the block.
bool FromBlock(RasterImage& img, const Bytes& b)
{
    HGLOBAL g = Block(b);
    EXPECT_NE(g, nullptr);
    bool ok = img.CreateFromHANDLE(g);
    EXPECT_EQ(GlobalFree(g), nullptr);
    return ok;
}

DWORD Rgb(const RasterImage& img, int x, int yFromTop)
{
    RGBQUAD c = img.GetPixelColor(x, (long)img.GetHeight() - 1 - yFromTop, false);
    return ((DWORD)c.rgbRed << 16) | ((DWORD)c.rgbGreen << 8) | c.rgbBlue;
}

// One channel under a mask, its top bits kept at 8 bits.
DWORD Channel(DWORD v, DWORD mask)
{
    if (mask == 0)
        return 0;
    int shift = __builtin_ctz(mask), width = __builtin_popcount(mask);
    DWORD c = (v & mask) >> shift;
    return width >= 8 ? c >> (width - 8) : c << (8 - width);
}

// The colour the test expects of pixel value v of a picture read with masks.
DWORD Expected(const Picture& p, DWORD v, const DWORD masks[3])
{
    if (p.bpp <= 8)
        return p.palette[v];
    if (p.bpp == 24)
        return v;
    return Channel(v, masks[0]) << 16 | Channel(v, masks[1]) << 8 | Channel(v, masks[2]);
}

struct DepthCase {
    int bpp;
    DWORD compression;
    DWORD masks[3];      // as written in the block (bit fields)
    DWORD readMasks[3];  // as the pixels are to be understood
    int imageBpp;        // depth of the image made
};

const DepthCase kDepths[] = {
    {1, BI_RGB, {0, 0, 0}, {0, 0, 0}, 1},
    {4, BI_RGB, {0, 0, 0}, {0, 0, 0}, 4},
    {8, BI_RGB, {0, 0, 0}, {0, 0, 0}, 8},
    {24, BI_RGB, {0, 0, 0}, {0, 0, 0}, 24},
    // 16 bits without bit fields are 5-5-5.
    {16, BI_RGB, {0, 0, 0}, {0x7C00, 0x03E0, 0x001F}, 24},
    {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0xF800, 0x07E0, 0x001F}, 24},
    {16, BI_BITFIELDS, {0x0F00, 0x00F0, 0x000F}, {0x0F00, 0x00F0, 0x000F}, 24},
    // 32 bits without bit fields are 8-8-8 from the top; the fourth byte is not colour.
    {32, BI_RGB, {0, 0, 0}, {0xFF0000, 0x00FF00, 0x0000FF}, 24},
    {32, BI_BITFIELDS, {0x0000FF00, 0x00FF0000, 0xFF000000}, {0x0000FF00, 0x00FF0000, 0xFF000000}, 24},
};

}  // namespace

// Every depth in every header form, bottom-up and top-down, at sizes that
// exercise the row padding: each pixel as the test wrote it.
TEST(CreateFromHandle, EveryDepthAndHeaderFormReadsBackExactly)
{
    std::mt19937 rng(23);
    for (const DepthCase& d : kDepths) {
        for (DWORD headerSize : {12u, 40u, 108u, 124u}) {
            // The core form has no compression field: no bit fields there.
            if (headerSize == 12 && d.compression != BI_RGB)
                continue;
            for (bool topDown : {false, true}) {
                if (headerSize == 12 && topDown)
                    continue;  // its WORD height cannot be negative
                const int w = 1 + (int)(rng() % 37), h = 1 + (int)(rng() % 9);
                SCOPED_TRACE("bpp " + std::to_string(d.bpp) + " compression " +
                             std::to_string(d.compression) + " header " + std::to_string(headerSize) +
                             (topDown ? " top-down" : "") + " " + std::to_string(w) + "x" +
                             std::to_string(h));
                Picture p = RandomPicture(rng, w, h, d.bpp == 16 ? 16 : d.bpp);
                if (d.bpp == 16)
                    for (DWORD& v : p.px)
                        v &= 0xFFFF;
                if (d.bpp == 32)
                    for (DWORD& v : p.px)
                        v |= (rng() & 0xFF) << 24;
                Form f = {headerSize, d.compression, {d.masks[0], d.masks[1], d.masks[2]}, topDown};
                RasterImage img;
                ASSERT_TRUE(FromBlock(img, PackedDib(p, f))) << img.GetLastError();
                ASSERT_EQ(img.GetWidth(), (DWORD)w);
                ASSERT_EQ(img.GetHeight(), (DWORD)h);
                EXPECT_EQ(img.GetBpp(), d.imageBpp);
                EXPECT_EQ(img.GetType(), RASTER_FORMAT_UNKNOWN);
                for (int y = 0; y < h; y++)
                    for (int x = 0; x < w; x++)
                        ASSERT_EQ(Rgb(img, x, y), Expected(p, p.at(x, y), d.readMasks))
                            << "pixel " << x << "," << y;
            }
        }
    }
}

// The image's own block goes out and comes back byte for byte, header
// (with the resolution set since) included.
TEST(CreateFromHandle, CopyToHandleRoundTripsTheBlock)
{
    std::mt19937 rng(5);
    for (int bpp : {1, 4, 8, 24}) {
        RasterImage img(1 + rng() % 50, 1 + rng() % 20, (DWORD)bpp);
        ASSERT_TRUE(img.IsValid());
        BYTE* bits = img.GetBits(0);
        for (long i = 0; i < (long)(img.GetEffWidth() * img.GetHeight()); i++)
            bits[i] = (BYTE)rng();
        for (DWORD i = 0; i < img.GetNumColors(); i++)
            img.SetPaletteColor((BYTE)i, (BYTE)rng(), (BYTE)rng(), (BYTE)rng());
        img.SetXDPI(300);
        img.SetYDPI(150);

        HANDLE g = img.CopyToHandle();
        ASSERT_NE(g, nullptr);
        ASSERT_EQ(GlobalSize(g), (SIZE_T)img.GetSize());
        RasterImage back;
        ASSERT_TRUE(back.CreateFromHANDLE(g)) << back.GetLastError();
        // The block held the header as the image has it now.
        const BYTE* block = static_cast<const BYTE*>(GlobalLock(g));
        EXPECT_EQ(block[24] | block[25] << 8, 11811);  // 300 dpi in pixels a metre
        GlobalUnlock(g);
        EXPECT_EQ(GlobalFree(g), nullptr);

        ASSERT_EQ(back.GetSize(), img.GetSize());
        EXPECT_EQ(back.GetXDPI(), 300);
        EXPECT_EQ(back.GetYDPI(), 150);
        EXPECT_EQ(memcmp(back.GetBits(0), img.GetBits(0), img.GetEffWidth() * img.GetHeight()), 0);
        for (DWORD i = 0; i < img.GetNumColors(); i++) {
            RGBQUAD a = img.GetPaletteColor((BYTE)i), b = back.GetPaletteColor((BYTE)i);
            EXPECT_EQ(memcmp(&a, &b, 4), 0) << "entry " << i;
        }
    }
    RasterImage empty;
    EXPECT_EQ(empty.CopyToHandle(), nullptr);
}

TEST(CreateFromHandle, ResolutionDefaultsToTheScreensWhenTheBlockHasNone)
{
    Picture p;
    p.w = p.h = 1;
    p.bpp = 24;
    p.px = {0x123456};
    RasterImage img;
    ASSERT_TRUE(FromBlock(img, PackedDib(p, {40, BI_RGB, {0, 0, 0}, false}, 0)));
    EXPECT_EQ(img.GetXDPI(), 96);
    EXPECT_EQ(img.GetYDPI(), 96);
}

// Run-length data: three pixels of index 0x41 from "03 41 00 00 00 01", and
// an odd RLE4 literal that keeps its pad byte.
TEST(CreateFromHandle, RunLengthBlocks)
{
    Picture p;
    p.w = 4;
    p.h = 2;
    p.bpp = 8;
    for (int i = 0; i < 256; i++)
        p.palette.push_back(0x010101u * (DWORD)i);
    p.px.assign(8, 0);
    Bytes b = PackedDib(p, {40, BI_RLE8, {0, 0, 0}, false});
    b.resize(40 + 256 * 4);
    b.insert(b.end(), {3, 0x41, 0, 0, 0, 1});
    RasterImage img;
    ASSERT_TRUE(FromBlock(img, b)) << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 8);
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(img.GetPixelIndex(x, 0), x < 3 ? 0x41 : 0);
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(img.GetPixelIndex(x, 1), 0);

    Picture q = p;
    q.bpp = 4;
    q.w = 6;
    q.palette.resize(16);
    q.px.assign(12, 0);
    Bytes c = PackedDib(q, {40, BI_RLE4, {0, 0, 0}, false});
    c.resize(40 + 16 * 4);
    // 3 literal pixels 1 2 3 (two bytes: no pad), then a run of 3 from 0x45
    // starting on a low half: 4 5 4.
    c.insert(c.end(), {0, 3, 0x12, 0x30, 3, 0x45, 0, 1});
    ASSERT_TRUE(FromBlock(img, c)) << img.GetLastError();
    const int want[6] = {1, 2, 3, 4, 5, 4};
    for (int x = 0; x < 6; x++)
        EXPECT_EQ(img.GetPixelIndex(x, 0), want[x]) << x;
}

// Blocks that claim more than they hold, or that cannot be read at all,
// are refused with a text, and the image stays empty.
TEST(CreateFromHandle, BadBlocksAreRefused)
{
    Picture p;
    p.w = 5;
    p.h = 4;
    p.bpp = 8;
    p.palette.assign(256, 0x808080);
    p.px.assign(20, 7);
    const Bytes good = PackedDib(p, {40, BI_RGB, {0, 0, 0}, false});
    Picture t = p;
    t.bpp = 24;
    t.palette.clear();
    const Bytes good24 = PackedDib(t, {40, BI_RGB, {0, 0, 0}, false});
    Picture s = t;
    s.bpp = 16;
    const Bytes good16 = PackedDib(s, {40, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, false});

    struct Case {
        const char* name;
        Bytes block;
        const char* text;  // null: any text
    };
    std::vector<Case> cases;
    cases.push_back({"one row short", Bytes(good.begin(), good.end() - 8), "DIB block shorter than its header says"});
    cases.push_back({"palette cut", Bytes(good.begin(), good.begin() + 40 + 100), nullptr});
    cases.push_back({"header cut", Bytes(good.begin(), good.begin() + 30), nullptr});
    cases.push_back({"masks cut", Bytes(good16.begin(), good16.begin() + 46), nullptr});
    {
        Bytes b = good24;
        b[16] = BI_RLE8;  // 24-bit data with a compression
        cases.push_back({"24-bit compressed", b, "unknown compression"});
    }
    {
        Bytes b = good;
        b[16] = 7;  // no such compression
        cases.push_back({"8-bit unknown compression", b, "compression type not supported"});
    }
    {
        Bytes b = good;
        b[32] = 0xFF;  // biClrUsed 255 + 2^24 * 0xFF...
        b[35] = 0xFF;
        cases.push_back({"colour table past the end", b, nullptr});
    }
    {
        Bytes b = good24;
        b[8] = b[9] = b[10] = 0;  // height 0x80000000 (INT_MIN)
        b[11] = 0x80;
        cases.push_back({"most negative height", b, nullptr});
    }
    {
        Bytes b = good24;
        b[4] = b[5] = b[6] = b[7] = 0xFF;  // width -1
        cases.push_back({"negative width", b, nullptr});
    }
    {
        Bytes b = good24;
        b[0] = 20;  // no such header form
        cases.push_back({"header size 20", b, nullptr});
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        RasterImage img;
        EXPECT_FALSE(FromBlock(img, c.block));
        EXPECT_FALSE(img.IsValid());
        EXPECT_STRNE(img.GetLastError(), "");
        if (c.text != nullptr) {
            EXPECT_STREQ(img.GetLastError(), c.text);
        }
    }

    RasterImage img;
    EXPECT_FALSE(img.CreateFromHANDLE(NULL));
    EXPECT_STRNE(img.GetLastError(), "");
    // A freed handle: GlobalSize says 0.
    HGLOBAL g = Block(good);
    GlobalFree(g);
    EXPECT_FALSE(img.CreateFromHANDLE(g));
}

// A true-colour block may carry a colour table (biClrUsed entries): the
// pixels follow it.
TEST(CreateFromHandle, TrueColourPixelsFollowTheirColourTable)
{
    Picture p;
    p.w = 3;
    p.h = 2;
    p.bpp = 24;
    p.palette = {0x111111, 0x222222};
    p.px = {1, 2, 3, 0xABCDEF, 5, 6};
    RasterImage img;
    ASSERT_TRUE(FromBlock(img, PackedDib(p, {40, BI_RGB, {0, 0, 0}, false}))) << img.GetLastError();
    EXPECT_EQ(Rgb(img, 0, 1), 0xABCDEFu);
    EXPECT_EQ(Rgb(img, 2, 0), 3u);
}

// A top-down block comes out the right way up and as large as its height's
// magnitude, not as a huge bottom-up picture.
TEST(CreateFromHandle, TopDownBlockIsTurnedTheRightWayUp)
{
    Picture p;
    p.w = 2;
    p.h = 3;
    p.bpp = 24;
    p.px = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    RasterImage img;
    ASSERT_TRUE(FromBlock(img, PackedDib(p, {40, BI_RGB, {0, 0, 0}, true})));
    EXPECT_EQ(img.GetHeight(), 3u);
    EXPECT_EQ(Rgb(img, 0, 0), 0xFF0000u);  // top left
    EXPECT_EQ(Rgb(img, 1, 2), 0x808080u);  // bottom right
}

// ImageMagick reads the same blocks (behind a file header) to the same
// pixels: the test's writer and our reader agree with an independent one.
class CreateFromHandleMagick : public MagickFixture {
protected:
    CreateFromHandleMagick() : MagickFixture("kestrel-dib-") {}
};

TEST_F(CreateFromHandleMagick, BlocksReadAsImageMagickReadsThem)
{
    std::mt19937 rng(123);
    for (int bpp : {1, 4, 8, 24}) {
        for (DWORD headerSize : {12u, 40u, 108u, 124u}) {
            SCOPED_TRACE(std::to_string(bpp) + " bits, header " + std::to_string(headerSize));
            const Picture p = RandomPicture(rng, 3 + (int)(rng() % 20), 2 + (int)(rng() % 6), bpp);
            const Bytes dib = PackedDib(p, {headerSize, BI_RGB, {0, 0, 0}, headerSize != 12 && rng() % 2});
            const DWORD offbits = headerSize + (DWORD)p.palette.size() * (headerSize == 12 ? 3 : 4);
            Bytes file = {'B', 'M'};
            U32(file, (DWORD)(14 + dib.size()));
            U32(file, 0);
            U32(file, 14 + offbits);
            file.insert(file.end(), dib.begin(), dib.end());
            const std::string bmp = Path("block.bmp"), ppm = Path("block.ppm");
            WriteFile(bmp, file);
            ASSERT_TRUE(RunQuiet("convert '" + bmp + "' -alpha off -depth 8 'ppm:" + ppm + "'"));
            const Bytes out = ReadFile(ppm);
            int w = 0, h = 0, maxval = 0, consumed = 0;
            ASSERT_EQ(sscanf(reinterpret_cast<const char*>(out.data()), "P6 %d %d %d%n", &w, &h, &maxval,
                             &consumed),
                      3);
            const BYTE* rgb = out.data() + consumed + 1;
            ASSERT_EQ(out.size(), (size_t)consumed + 1 + (size_t)w * h * 3);

            RasterImage img;
            ASSERT_TRUE(FromBlock(img, dib)) << img.GetLastError();
            ASSERT_EQ((int)img.GetWidth(), w);
            ASSERT_EQ((int)img.GetHeight(), h);
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++, rgb += 3)
                    ASSERT_EQ(Rgb(img, x, y), (DWORD)rgb[0] << 16 | (DWORD)rgb[1] << 8 | rgb[2])
                        << x << "," << y;
        }
    }
}
