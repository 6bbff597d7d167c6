// The GIF decoder: files built byte by byte (with an LZW compressor written
// here, or with hand-packed codes for damaged data), frame selection and
// counting, extensions, interlacing, compositing, the true-colour rule, and
// cross-checks against ImageMagick's reading of the same files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include <raster.h>
#include <rastergif.h>
#include "alloc_counter.h"
#include "magick.h"
#include "test_files.h"

namespace {

// Codes packed least significant bit first.
class BitPacker {
public:
    void put(int code, int bits)
    {
        m_acc |= (uint32_t)code << m_count;
        m_count += bits;
        while (m_count >= 8) {
            m_out.push_back((BYTE)m_acc);
            m_acc >>= 8;
            m_count -= 8;
        }
    }
    Bytes finish()
    {
        if (m_count > 0)
            m_out.push_back((BYTE)m_acc);
        m_acc = 0;
        m_count = 0;
        return m_out;
    }

private:
    Bytes m_out;
    uint32_t m_acc = 0;
    int m_count = 0;
};

// LZW as a GIF encoder writes it: a clear code first, codes widening as the
// table grows, a clear code when the table is full, the end code last.
Bytes Lzw(const Bytes& pixels, int mcs, bool leadingClear = true, bool endCode = true)
{
    const int clear = 1 << mcs, end = clear + 1;
    int size = mcs + 1, next = clear + 2;
    std::unordered_map<int, int> table;
    BitPacker bits;
    if (leadingClear)
        bits.put(clear, size);
    int cur = -1;
    auto emit = [&](int code) {
        bits.put(code, size);
        if (next >= (1 << size) && size < 12)
            size++;
    };
    for (BYTE p : pixels) {
        if (cur < 0) {
            cur = p;
            continue;
        }
        auto it = table.find(cur << 8 | p);
        if (it != table.end()) {
            cur = it->second;
            continue;
        }
        emit(cur);
        if (next < 4095) {
            table[cur << 8 | p] = next++;
        } else {
            bits.put(clear, size);
            table.clear();
            size = mcs + 1;
            next = clear + 2;
        }
        cur = p;
    }
    if (cur >= 0)
        emit(cur);
    if (endCode)
        bits.put(end, size);
    return bits.finish();
}

// Data in sub-blocks of at most 255 bytes, ended by a zero-length block.
Bytes SubBlocks(const Bytes& data, bool terminate = true)
{
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = data.size() - i < 255 ? data.size() - i : 255;
        out.push_back((BYTE)n);
        out.insert(out.end(), data.begin() + i, data.begin() + i + n);
    }
    if (terminate)
        out.push_back(0);
    return out;
}

int SizeCode(size_t entries)
{
    int s = 0;
    while ((2u << s) < entries)
        s++;
    return s;
}

// Rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ... of a top-down picture.
Bytes Interlace(const Bytes& px, int w, int h)
{
    Bytes out;
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; p++)
        for (int y = starts[p]; y < h; y += steps[p])
            out.insert(out.end(), px.begin() + (size_t)y * w, px.begin() + (size_t)(y + 1) * w);
    return out;
}

// A GIF file, block by block. Colours are 0xRRGGBB.
struct Gif : Bytes {
    Gif& u8(int v)
    {
        push_back((BYTE)v);
        return *this;
    }
    Gif& u16(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Gif& raw(const Bytes& b)
    {
        insert(end(), b.begin(), b.end());
        return *this;
    }
    Gif& table(const std::vector<DWORD>& colours)
    {
        for (DWORD c : colours)
            u8(c >> 16).u8(c >> 8).u8(c);
        return *this;
    }
    Gif& screen(int w, int h, const std::vector<DWORD>& global, int bg = 0, const char* sig = "GIF89a")
    {
        for (const char* p = sig; *p; p++)
            u8(*p);
        u16(w).u16(h);
        u8(global.empty() ? 0 : 0x80 | 0x70 | SizeCode(global.size())).u8(bg).u8(0);
        return table(global);
    }
    Gif& gce(int disposal, int trans = -1, int delay = 0)
    {
        return u8(0x21).u8(0xF9).u8(4).u8((disposal << 2) | (trans >= 0 ? 1 : 0)).u16(delay).u8(trans < 0 ? 0 : trans).u8(0);
    }
    Gif& descriptor(int l, int t, int w, int h, int flags) { return u8(0x2C).u16(l).u16(t).u16(w).u16(h).u8(flags); }
    // An image of top-down pixels, compressed with the smallest code size.
    Gif& image(int l, int t, int w, int h, const Bytes& px, const std::vector<DWORD>& local = {},
               bool interlaced = false)
    {
        int flags = (interlaced ? 0x40 : 0) | (local.empty() ? 0 : 0x80 | SizeCode(local.size()));
        descriptor(l, t, w, h, flags).table(local);
        int maxIndex = 1;
        for (BYTE p : px)
            maxIndex = p > maxIndex ? p : maxIndex;
        int mcs = 2;
        while ((1 << mcs) <= maxIndex)
            mcs++;
        u8(mcs);
        return raw(SubBlocks(Lzw(interlaced ? Interlace(px, w, h) : px, mcs)));
    }
    Gif& comment(const std::string& text)
    {
        u8(0x21).u8(0xFE);
        return raw(SubBlocks(Bytes(text.begin(), text.end())));
    }
    Gif& trailer() { return u8(0x3B); }
};

// Indices w x h, top-down, from a formula.
template <typename F>
Bytes Pixels(int w, int h, F f)
{
    Bytes px;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            px.push_back((BYTE)f(x, y));
    return px;
}

const std::vector<DWORD> kFour = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

std::vector<DWORD> Ramp(int n)
{
    std::vector<DWORD> t;
    for (int i = 0; i < n; i++)
        t.push_back((DWORD)((i * 3 & 0xFF) << 16 | (i * 5 & 0xFF) << 8 | (255 - i)));
    return t;
}

bool Load(RasterImage& img, const Bytes& file, long frame = 0)
{
    img.SetFrame(frame);
    return img.Decode(const_cast<BYTE*>(file.data()), (DWORD)file.size(), RASTER_FORMAT_GIF);
}

// Every index of the picture, top-down, as the image holds it.
Bytes Indices(const RasterImage& img)
{
    Bytes out;
    long w = (long)img.GetWidth(), h = (long)img.GetHeight();
    for (long y = h - 1; y >= 0; y--)
        for (long x = 0; x < w; x++)
            out.push_back(img.GetPixelIndex(x, y));
    return out;
}

DWORD Rgb(RGBQUAD c)
{
    return (DWORD)c.rgbRed << 16 | (DWORD)c.rgbGreen << 8 | c.rgbBlue;
}

// ---------------------------------------------------------------------------

TEST(GifDecode, BothVersionsDecodeToTheirIndicesAndPalette)
{
    Bytes px = Pixels(7, 5, [](int x, int y) { return (x + 2 * y) % 4; });
    for (const char* sig : {"GIF87a", "GIF89a"}) {
        Gif f;
        f.screen(7, 5, kFour, 0, sig).image(0, 0, 7, 5, px).trailer();
        RasterImage img;
        ASSERT_TRUE(Load(img, f)) << sig;
        EXPECT_EQ(RASTER_FORMAT_GIF, img.GetType());
        EXPECT_EQ(4u, img.GetBpp());
        EXPECT_EQ(1, img.GetNumFrames());
        EXPECT_EQ(px, Indices(img)) << sig;
        EXPECT_EQ(0xFF0000u, Rgb(img.GetPaletteColor(1)));
        EXPECT_EQ(0x0000FFu, Rgb(img.GetPaletteColor(3)));
        EXPECT_EQ(0x0000FFu, Rgb(img.GetPixelColor(3, 4)));  // top row, x 3: index 3
    }
    Gif bad;
    bad.screen(7, 5, kFour, 0, "GIF9aa").image(0, 0, 7, 5, px).trailer();
    RasterImage img;
    EXPECT_FALSE(Load(img, bad));
    EXPECT_STREQ("Not a GIF file", img.GetLastError());
    EXPECT_FALSE(img.IsValid());
}

TEST(GifDecode, DepthFollowsTheColourCountAndPacksLeftPixelHigh)
{
    Bytes two = Pixels(11, 2, [](int x, int y) { return (x ^ y) & 1; });
    Gif f2;
    f2.screen(11, 2, {0x000000, 0xFFFFFF}).image(0, 0, 11, 2, two).trailer();
    RasterImage one;
    ASSERT_TRUE(Load(one, f2));
    EXPECT_EQ(1u, one.GetBpp());
    EXPECT_EQ(two, Indices(one));
    // Top row 0,1,0,1,...: bits 01010101 then 010 and zero padding.
    EXPECT_EQ(0x55, one.GetBits(1)[0]);
    EXPECT_EQ(0x40, one.GetBits(1)[1]);

    Bytes sixteen = Pixels(5, 1, [](int x, int) { return 15 - 3 * x; });
    Gif f16;
    f16.screen(5, 1, Ramp(16)).image(0, 0, 5, 1, sixteen).trailer();
    RasterImage four;
    ASSERT_TRUE(Load(four, f16));
    EXPECT_EQ(4u, four.GetBpp());
    const BYTE* row = four.GetBits(0);
    EXPECT_EQ(0xFC, row[0]);
    EXPECT_EQ(0x96, row[1]);
    EXPECT_EQ(0x30, row[2]);  // the fifth pixel high, the padding nibble zero

    Bytes many = Pixels(9, 3, [](int x, int y) { return x * 20 + y; });
    Gif f256;
    f256.screen(9, 3, Ramp(256)).image(0, 0, 9, 3, many).trailer();
    RasterImage eight;
    ASSERT_TRUE(Load(eight, f256));
    EXPECT_EQ(8u, eight.GetBpp());
    EXPECT_EQ(many, Indices(eight));
}

TEST(GifDecode, LongDataWithFullTablesAndClearCodesDecodesExactly)
{
    // Noise fills the table several times over: widening to 12 bits, clear
    // codes in the middle, strings longer than one row.
    unsigned seed = 7;
    Bytes px = Pixels(301, 97, [&](int x, int y) {
        seed = seed * 1103515245u + 12345u;
        return (y < 40) ? ((seed >> 16) & 0xFF) : ((x / 7 + y / 5) & 0x3F);
    });
    Gif f;
    f.screen(301, 97, Ramp(256)).image(0, 0, 301, 97, px).trailer();
    RasterImage img;
    ASSERT_TRUE(Load(img, f));
    EXPECT_EQ(px, Indices(img));

    // A stream that starts without a clear code reads the same.
    Bytes small = Pixels(13, 4, [](int x, int y) { return (x * y) % 3; });
    Gif g;
    g.screen(13, 4, kFour).descriptor(0, 0, 13, 4, 0).u8(2).raw(SubBlocks(Lzw(small, 2, false))).trailer();
    ASSERT_TRUE(Load(img, g));
    EXPECT_EQ(small, Indices(img));
}

TEST(GifDecode, InterlacedRowsLandInTheirPlaces)
{
    // Height 4: the rows come as 0, 2, 1, 3 (the pass of rows 4, 12, ... is empty).
    Bytes rows = {0, 0, 2, 2, 1, 1, 3, 3};
    Gif f;
    f.screen(2, 4, kFour).descriptor(0, 0, 2, 4, 0x40).u8(2).raw(SubBlocks(Lzw(rows, 2))).trailer();
    RasterImage img;
    ASSERT_TRUE(Load(img, f));
    EXPECT_EQ(Bytes({0, 0, 1, 1, 2, 2, 3, 3}), Indices(img));

    for (int h : {1, 2, 3, 5, 8, 9, 17, 30}) {
        Bytes px = Pixels(6, h, [](int x, int y) { return (y * 7 + x) % 4; });
        Gif g;
        g.screen(6, h, kFour).image(0, 0, 6, h, px, {}, true).trailer();
        ASSERT_TRUE(Load(img, g)) << h;
        EXPECT_EQ(px, Indices(img)) << "height " << h;
    }
}

TEST(GifDecode, SizeOnlyGivesTheFirstDescriptorWithoutPixels)
{
    Gif f;
    f.screen(20, 10, kFour).image(2, 1, 6, 3, Bytes(18, 1)).image(0, 0, 20, 10, Bytes(200, 2)).trailer();
    RasterImage img;
    img.SetEscape(-1);
    ASSERT_TRUE(Load(img, f));
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(6u, img.GetWidth());
    EXPECT_EQ(3u, img.GetHeight());
    EXPECT_EQ(2, img.GetNumFrames());
    // Header and block agree: there is nothing to read and nothing is read.
    EXPECT_EQ(nullptr, img.GetBits(0));
    EXPECT_EQ(0, img.GetPixelIndex(5, 2));
    EXPECT_EQ(0u, Rgb(img.GetPixelColor(5, 2)));

    // The first descriptor counts even when it lies outside the screen.
    Gif g;
    g.screen(20, 10, kFour).image(20, 0, 9, 4, Bytes(36, 1)).image(0, 0, 20, 10, Bytes(200, 2)).trailer();
    RasterImage outside;
    outside.SetEscape(-1);
    ASSERT_TRUE(Load(outside, g));
    EXPECT_EQ(9u, outside.GetWidth());
    EXPECT_EQ(1, outside.GetNumFrames());
}

TEST(GifDecode, FilesThatOfferNoFrameFailWithAText)
{
    Gif outside;
    outside.screen(4, 4, kFour).image(4, 0, 4, 4, Bytes(16, 1)).image(0, 4, 1, 2, Bytes(2, 1)).trailer();
    Gif empty;
    empty.screen(0, 0, kFour).image(0, 0, 1, 1, Bytes(1, 1)).trailer();
    Gif badExtension;  // a graphic control block of 5 bytes ends the walk before any frame
    badExtension.screen(4, 4, kFour).u8(0x21).u8(0xF9).u8(5).raw({0, 0, 0, 0, 0, 0}).image(0, 0, 4, 4, Bytes(16, 1)).trailer();
    Gif noImage;
    noImage.screen(4, 4, kFour).comment("nothing").trailer();
    Gif truncatedTable = Gif();
    truncatedTable.screen(4, 4, kFour);
    truncatedTable.resize(truncatedTable.size() - 4);
    for (const Gif* f : {&outside, &empty, &badExtension, &noImage, &truncatedTable}) {
        RasterImage img;
        EXPECT_FALSE(Load(img, *f));
        EXPECT_STREQ("GIF file has no frame", img.GetLastError());
        EXPECT_EQ(0, img.GetNumFrames());
        EXPECT_FALSE(img.IsValid());
    }
}

TEST(GifDecode, CountingAndDecodingAgreeOnWhichFramesExist)
{
    Gif f;
    f.screen(4, 3, kFour)
        .image(0, 0, 4, 3, Bytes(12, 1))
        .image(4, 0, 4, 3, Bytes(12, 2))  // wholly outside: passed over
        .image(3, 1, 4, 3, Bytes(12, 4))  // partly outside: clipped to 1 x 2
        .image(1, 1, 2, 2, Bytes(4, 3))
        .trailer();
    RasterImage img;
    ASSERT_TRUE(Load(img, f, 2));
    EXPECT_EQ(3, img.GetNumFrames());
    EXPECT_EQ(2u, img.GetWidth());
    EXPECT_EQ(Bytes(4, 3), Indices(img));
    ASSERT_TRUE(Load(img, f, 1));
    EXPECT_EQ(1u, img.GetWidth());
    EXPECT_EQ(2u, img.GetHeight());
    EXPECT_EQ(Bytes(2, 4), Indices(img));
    EXPECT_FALSE(Load(img, f, 3));
    EXPECT_EQ(3, img.GetNumFrames());  // a typed decode reports the count it found
    EXPECT_STREQ("GIF frame number out of range", img.GetLastError());
    EXPECT_FALSE(Load(img, f, -1));
}

TEST(GifDecode, ExtensionsSetTransparencyDelayCommentAndLoops)
{
    Gif f;
    f.screen(2, 1, kFour)
        .u8(0x21).u8(0xFF).u8(11).raw({'A', 'N', 'Y', 'T', 'H', 'I', 'N', 'G', '1', '.', '0'})
        .u8(3).raw({1, 0x34, 0x12}).u8(0)
        .comment("first words")
        .image(0, 0, 2, 1, {1, 2})
        .gce(0, 2, 25)
        .image(0, 0, 2, 1, {2, 3})
        .gce(0, -1, 40)  // no transparency bit: the index in force stays
        .image(0, 0, 2, 1, {3, 3})
        .comment("later words")
        .trailer();
    RasterImageGIF gif;
    RasterMemFile in(f.data(), (DWORD)f.size());
    ASSERT_TRUE(gif.Decode(&in));
    // Counting read the whole file: the first frame does not take the later
    // frames' transparency or delay.
    EXPECT_EQ(-1, gif.GetTransIndex());
    EXPECT_EQ(0u, gif.GetFrameDelay());
    EXPECT_EQ(0x1234, gif.GetLoops());
    char text[256];
    gif.GetComment(text);
    EXPECT_STREQ("first words", text);

    RasterImage img;
    ASSERT_TRUE(Load(img, f, 2));
    EXPECT_EQ(2, img.GetTransIndex());
    EXPECT_EQ(40u, img.GetFrameDelay());
}

TEST(GifDecode, EmptyExtensionsEndWhereTheyEnd)
{
    // An application block without data and a comment of no length: their
    // terminators are not taken for lengths of further blocks.
    Gif f;
    f.screen(3, 1, kFour)
        .u8(0x21).u8(0xFF).u8(11).raw({'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'}).u8(0)
        .u8(0x21).u8(0xFE).u8(0)
        .image(0, 0, 3, 1, {3, 2, 1})
        .trailer();
    RasterImageGIF gif;
    gif.SetComment("old");
    RasterMemFile in(f.data(), (DWORD)f.size());
    ASSERT_TRUE(gif.Decode(&in));
    char text[256];
    gif.GetComment(text);
    EXPECT_STREQ("", text);
    EXPECT_EQ(Bytes({3, 2, 1}), Indices(gif));
}

TEST(GifDecode, CommentAndSettingsOfTheCodecClass)
{
    RasterImageGIF gif;
    std::string longText(300, 'x');
    gif.SetComment(longText.c_str());
    char text[256];
    gif.GetComment(text);
    EXPECT_EQ(std::string(255, 'x'), text);
    gif.SetComment(nullptr);
    gif.GetComment(nullptr);
    gif.GetComment(text);
    EXPECT_EQ(255u, strlen(text));
    gif.SetLoops(3);
    gif.SetDisposalMethod(2);
    RasterImageGIF copy(gif);
    EXPECT_EQ(3, copy.GetLoops());
    EXPECT_EQ(2, copy.GetDisposalMethod());
    copy.GetComment(text);
    EXPECT_EQ(255u, strlen(text));
    EXPECT_EQ(RASTER_FORMAT_GIF, RasterImageGIF().GetType());
}

TEST(GifDecode, StreamStopsAfterTheFrameAndTheProbeFindsGif)
{
    Gif f;
    f.screen(3, 2, kFour).image(0, 0, 3, 2, {1, 2, 3, 3, 2, 1});
    size_t frameEnd = f.size();
    f.image(0, 0, 3, 2, Bytes(6, 0)).trailer();
    Bytes data(100 + f.size(), 0xEE);
    std::copy(f.begin(), f.end(), data.begin() + 100);
    RasterMemFile in(data.data(), (DWORD)data.size());
    ASSERT_TRUE(in.Seek(100, SEEK_SET));
    RasterImage img;
    ASSERT_TRUE(img.Decode(&in, RASTER_FORMAT_UNKNOWN));
    EXPECT_EQ(RASTER_FORMAT_GIF, img.GetType());
    EXPECT_EQ(Bytes({1, 2, 3, 3, 2, 1}), Indices(img));
    EXPECT_EQ((long)(100 + frameEnd), in.Tell());
}

TEST(GifDecode, LocalTablesServeTheirOwnFrameOnly)
{
    Gif f;
    f.screen(2, 1, kFour)
        .image(0, 0, 2, 1, {1, 2})
        .image(0, 0, 2, 1, {1, 2}, {0x111111, 0x222222, 0x333333, 0x444444})
        .image(0, 0, 2, 1, {1, 2})
        .trailer();
    RasterImage img;
    ASSERT_TRUE(Load(img, f, 1));
    EXPECT_EQ(0x222222u, Rgb(img.GetPixelColor(0, 0)));
    ASSERT_TRUE(Load(img, f, 2));
    EXPECT_EQ(0xFF0000u, Rgb(img.GetPixelColor(0, 0)));
    EXPECT_EQ(0x00FF00u, Rgb(img.GetPixelColor(1, 0)));
}

TEST(GifDecode, FramesComposeByTheirDisposal)
{
    // Frame 0 fills the screen; frame 1 (keep, transparent index 0) lies at
    // (1, 1); frame 2 (clear) at (3, 0) without transparency; frame 3
    // (keep) at (0, 2); frame 4 has no disposal and stands alone.
    Bytes base = Pixels(5, 4, [](int x, int y) { return 1 + (x + y) % 3; });
    Gif f;
    f.screen(5, 4, kFour)
        .gce(1, 0)
        .image(0, 0, 5, 4, base)
        .gce(1, 0)
        .image(1, 1, 2, 2, {3, 0, 0, 3})
        .gce(2, -1)
        .image(3, 0, 2, 2, {1, 1, 1, 1})
        .gce(1, 0)
        .image(0, 2, 2, 1, {2, 2})
        .gce(0, -1)
        .image(1, 1, 2, 1, {3, 3})
        .trailer();

    RasterImage img;
    ASSERT_TRUE(Load(img, f, 1));
    Bytes want = base;
    want[1 * 5 + 1] = 3;
    want[2 * 5 + 2] = 3;
    EXPECT_EQ(5u, img.GetWidth());
    EXPECT_EQ(want, Indices(img));
    EXPECT_EQ(0, img.GetTransIndex());

    // Frame 2 lands at (3, 0) only; nothing else of the picture changes.
    ASSERT_TRUE(Load(img, f, 2));
    Bytes want2 = want;
    for (int y = 0; y < 2; y++)
        for (int x = 3; x < 5; x++)
            want2[y * 5 + x] = 1;
    EXPECT_EQ(want2, Indices(img));

    // Frame 2 asked for its rectangle to be cleared once shown: frame 3 is
    // painted on a picture whose (3, 0) rectangle is transparent again.
    ASSERT_TRUE(Load(img, f, 3));
    Bytes want3 = want;
    for (int y = 0; y < 2; y++)
        for (int x = 3; x < 5; x++)
            want3[y * 5 + x] = 0;
    want3[2 * 5 + 0] = want3[2 * 5 + 1] = 2;
    EXPECT_EQ(want3, Indices(img));

    ASSERT_TRUE(Load(img, f, 4));
    EXPECT_EQ(2u, img.GetWidth());
    EXPECT_EQ(1u, img.GetHeight());
    EXPECT_EQ(Bytes({3, 3}), Indices(img));
}

TEST(GifDecode, TrueColourFilesPaintEveryFrameOntoOnePicture)
{
    // No global table and a first frame smaller than the screen both ways.
    std::vector<DWORD> a = {0x102030, 0x405060}, b = {0xA0B0C0, 0xD0E0F0};
    Gif f;
    f.screen(4, 3, {})
        .image(0, 0, 2, 2, {0, 1, 1, 0}, a)
        .gce(0, 1)
        .image(2, 1, 2, 2, {0, 1, 1, 1}, b)
        .trailer();
    RasterImage img;
    ASSERT_TRUE(Load(img, f));
    EXPECT_EQ(24u, img.GetBpp());
    EXPECT_EQ(4u, img.GetWidth());
    EXPECT_EQ(3u, img.GetHeight());
    EXPECT_EQ(2, img.GetNumFrames());
    EXPECT_EQ(1, img.GetFrame());
    auto at = [&](int x, int yTop) { return Rgb(img.GetPixelColor(x, 2 - yTop, false)); };
    EXPECT_EQ(0x102030u, at(0, 0));
    EXPECT_EQ(0x405060u, at(1, 0));
    EXPECT_EQ(0x405060u, at(0, 1));
    EXPECT_EQ(0xA0B0C0u, at(2, 1));  // the last frame's pixels, transparent ones too
    EXPECT_EQ(0xD0E0F0u, at(3, 2));
    EXPECT_EQ(0u, at(0, 2));  // no frame covers it
    // The last transparent index names the transparent colour.
    EXPECT_EQ(0, img.GetTransIndex());
    EXPECT_EQ(0xD0E0F0u, Rgb(img.GetTransColor()));
}

TEST(GifDecode, OverwideLinesAndLoopingCodesAreRefused)
{
    Gif wide;
    wide.screen(40000, 1, kFour).image(0, 0, 40000, 1, Bytes(40000, 1)).trailer();
    RasterImage img;
    EXPECT_FALSE(Load(img, wide));
    EXPECT_STREQ("GIF line width above 32767", img.GetLastError());

    // Code 7 before it exists, then again: the entry it makes names itself
    // as its prefix, and the next use of it would walk round forever.
    BitPacker bits;
    for (int c : {4, 0, 7, 7})
        bits.put(c, 3);
    bits.put(7, 4);
    bits.put(5, 4);
    Gif loop;
    loop.screen(300, 20, kFour).descriptor(0, 0, 300, 20, 0).u8(2).raw(SubBlocks(bits.finish())).trailer();
    EXPECT_FALSE(Load(img, loop));
    EXPECT_STREQ("GIF LZW code chain overruns the decode stack", img.GetLastError());
}

TEST(GifDecode, DamagedDataKeepsWhatWasDecoded)
{
    Bytes px = Pixels(10, 6, [](int x, int y) { return (x + y) % 4; });
    Bytes codes = Lzw(px, 2);
    // Data for one row and a half that the file cuts off: the whole row
    // stays, the unfinished one is lost, the rest stays 0.
    Bytes part = Lzw(Bytes(px.begin(), px.begin() + 15), 2, true, false);
    Gif cut;
    cut.screen(10, 6, kFour).descriptor(0, 0, 10, 6, 0).u8(2).raw(SubBlocks(part, false));
    RasterImage img;
    ASSERT_TRUE(Load(img, cut));
    Bytes want(60, 0);
    std::copy(px.begin(), px.begin() + 10, want.begin());
    EXPECT_EQ(want, Indices(img));

    // The same data ended by its zero-length block keeps the unfinished row.
    Gif ended;
    ended.screen(10, 6, kFour).descriptor(0, 0, 10, 6, 0).u8(2).raw(SubBlocks(part)).trailer();
    ASSERT_TRUE(Load(img, ended));
    std::copy(px.begin(), px.begin() + 15, want.begin());
    EXPECT_EQ(want, Indices(img));

    // A bad minimum code size leaves the frame as created.
    Gif badSize;
    badSize.screen(10, 6, kFour).descriptor(0, 0, 10, 6, 0).u8(11).raw(SubBlocks(codes)).trailer();
    ASSERT_TRUE(Load(img, badSize));
    EXPECT_EQ(Bytes(60, 0), Indices(img));

    // Every prefix of a valid file decodes or fails without harm.
    Gif whole;
    whole.screen(10, 6, kFour).gce(1, 2).comment("c").image(0, 0, 10, 6, px).image(2, 2, 3, 3, Bytes(9, 1)).trailer();
    for (size_t n = 0; n < whole.size(); n++) {
        RasterImage part;
        part.SetFrame(n % 2);
        part.Decode(whole.data(), (DWORD)n, RASTER_FORMAT_GIF);
    }
}

TEST(GifDecode, HugeFramesMustBeBackedByTheirData)
{
    Gif f;
    f.screen(9000, 9000, kFour).descriptor(0, 0, 9000, 9000, 0).u8(2).raw(SubBlocks({0x04, 0x05})).trailer();
    RasterImage img;
    EXPECT_FALSE(Load(img, f));
    EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError());
}

TEST(GifDecode, CancelledAndOutOfRangeRequests)
{
    Gif f;
    f.screen(2, 2, kFour).image(0, 0, 2, 2, {1, 2, 3, 0}).trailer();
    RasterImage img;
    img.SetEscape(1);
    EXPECT_FALSE(Load(img, f));
    img.SetEscape(0);
    EXPECT_FALSE(Load(img, f, 1));
    EXPECT_EQ(1, img.GetNumFrames());
    EXPECT_TRUE(Load(img, f, 0));
}

// ---------------------------------------------------------------------------
// Cross-checks with ImageMagick, which reads the same files independently.

class GifMagick : public MagickFixture {
protected:
    GifMagick() : MagickFixture("raster_gif_magick_") {}

    // ImageMagick's pixels of `source` (a file, or a frame of one) as 8-bit RGBA.
    Bytes MagickRgba(const std::string& source, const std::string& options = "")
    {
        std::string out = Path("magick.rgba");
        remove(out.c_str());
        if (!RunQuiet("convert '" + source + "' " + options + " -depth 8 'rgba:" + out + "'"))
            return Bytes();
        return ReadFile(out);
    }

    // Our picture against ImageMagick's RGBA: opaque pixels by colour,
    // transparent ones by our transparent index.
    static void ExpectSame(const RasterImage& ours, const Bytes& rgba, const std::string& what)
    {
        long w = (long)ours.GetWidth(), h = (long)ours.GetHeight();
        ASSERT_EQ((size_t)w * h * 4, rgba.size()) << what;
        int bad = 0;
        for (long y = 0; y < h && bad < 5; y++)
            for (long x = 0; x < w && bad < 5; x++) {
                const BYTE* m = &rgba[((size_t)y * w + x) * 4];
                long row = h - 1 - y;
                if (m[3] == 0) {
                    bool transparent = ours.GetTransIndex() >= 0 && ours.GetPixelIndex(x, row) == ours.GetTransIndex();
                    if (!transparent) {
                        ADD_FAILURE() << what << ": pixel " << x << "," << y << " is transparent for ImageMagick";
                        bad++;
                    }
                    continue;
                }
                RGBQUAD c = ours.GetPixelColor(x, row, false);
                if (c.rgbRed != m[0] || c.rgbGreen != m[1] || c.rgbBlue != m[2]) {
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " ours " << std::hex << Rgb(c)
                                  << ", ImageMagick " << (int)m[0] << " " << (int)m[1] << " " << (int)m[2];
                    bad++;
                }
            }
    }
};

TEST_F(GifMagick, ItsInterlacedAndTransparentFilesDecodeToItsPixels)
{
    std::string src = SourcePicture(61, 43);
    struct Variant {
        const char* name;
        const char* options;
    } variants[] = {
        {"plain", "-colors 200"},
        {"interlaced", "-colors 150 -interlace GIF"},
        {"few colours", "-colors 12"},
        {"two colours", "-colors 2"},
        {"transparent", "-alpha set -region 16x26+5+5 -alpha transparent +region -colors 100"},
        {"interlaced transparent", "-alpha set -region 9x30+30+2 -alpha transparent +region -colors 60 -interlace GIF"},
    };
    for (const Variant& v : variants) {
        std::string gif = Path(std::string("v") + std::to_string(&v - variants) + ".gif");
        ASSERT_TRUE(RunQuiet("convert '" + src + "' " + v.options + " '" + gif + "'")) << v.name;
        RasterImage ours;
        ASSERT_TRUE(ours.Load(gif.c_str(), RASTER_FORMAT_GIF)) << v.name << ": " << ours.GetLastError();
        ExpectSame(ours, MagickRgba(gif), v.name);
    }
}

TEST_F(GifMagick, FramesOfEveryDisposalMatchItsFrames)
{
    // Our file: a full first frame, then frames of each disposal method at
    // offsets, with and without transparency. A frame that keeps (1) or
    // clears (2) what lies under it is composed onto the picture so far and
    // matches ImageMagick's coalesced frame; frames without disposal (0) or
    // that restore (3) are the frame alone, as ImageMagick reads the frame.
    std::vector<DWORD> palette = Ramp(16);
    Bytes base = Pixels(12, 9, [](int x, int y) { return 1 + (x * 3 + y) % 14; });
    Gif f;
    f.screen(12, 9, palette)
        .gce(1, 0)
        .image(0, 0, 12, 9, base)
        .gce(1, 0)
        .image(2, 1, 4, 3, Pixels(4, 3, [](int x, int y) { return (x + y) % 3 == 0 ? 0 : 15; }))
        .gce(2, 0)
        .image(6, 4, 5, 4, Pixels(5, 4, [](int x, int) { return x == 2 ? 0 : 9; }))
        .gce(1, 0)
        .image(1, 5, 6, 3, Pixels(6, 3, [](int x, int y) { return x == y ? 0 : 12; }))
        .gce(0, -1)
        .image(3, 3, 4, 4, Pixels(4, 4, [](int x, int y) { return 4 + x + y; }))
        .gce(3, 0)
        .image(0, 0, 3, 2, Pixels(3, 2, [](int x, int) { return x == 1 ? 0 : 7; }))
        .trailer();
    std::string gif = Path("frames.gif");
    WriteFile(gif, f);
    ASSERT_TRUE(RunQuiet("convert '" + gif + "' -coalesce +adjoin -depth 8 'rgba:" + Path("c-%d.rgba") + "'"));
    const bool composed[] = {true, true, true, true, false, false};
    for (int n = 0; n < 6; n++) {
        RasterImage ours;
        ours.SetFrame(n);
        ASSERT_TRUE(ours.Load(gif.c_str(), RASTER_FORMAT_GIF)) << n;
        EXPECT_EQ(6, ours.GetNumFrames());
        Bytes theirs = composed[n] ? ReadFile(Path("c-" + std::to_string(n) + ".rgba"))
                                   : MagickRgba(gif + "[" + std::to_string(n) + "]");
        ExpectSame(ours, theirs, "frame " + std::to_string(n));
    }
}

// ---------------------------------------------------------------------------
// What a small file may cost.

// `count` frames of w x h at the screen's corner, each with a few codes of
// data: a clear code, one pixel and the end code.
Gif EmptyFrames(int w, int h, int count, bool global = true)
{
    Gif f;
    f.screen(w, h, global ? std::vector<DWORD>{0x000000, 0xFFFFFF} : std::vector<DWORD>{});
    for (int i = 0; i < count; i++)
        f.descriptor(0, 0, w - (global ? 0 : 1), h - (global ? 0 : 1), 0).u8(2).raw(SubBlocks(Lzw(Bytes(1, 1), 2)));
    return static_cast<Gif&>(f.trailer());
}

TEST(GifBounds, FramesTheirDataCannotFillAreRefusedCheaply)
{
    struct Case {
        const char* what;
        Gif file;
        long frame;
    } cases[] = {
        {"twelve 2300 x 2300 frames, the first", EmptyFrames(2300, 2300, 12), 0},
        {"twelve 2300 x 2300 frames, the last", EmptyFrames(2300, 2300, 12), 11},
        {"true colour, twelve 2300 x 2300 frames", EmptyFrames(2300, 2300, 12, false), 0},
        {"eight 32767 x 4095 frames, the eighth", EmptyFrames(32767, 4095, 8), 7},
    };
    for (const Case& c : cases) {
        EXPECT_LE(c.file.size(), 256u) << c.what;
        RasterImage img;
        const AllocCounter counter;
        EXPECT_FALSE(Load(img, c.file, c.frame)) << c.what;
        EXPECT_STREQ("RASTER_MAX_MEMORY exceeded", img.GetLastError()) << c.what;
        if (AllocCounter::Available()) {
            EXPECT_LT(counter.Total(), size_t(1) << 20) << c.what;
        }
    }
}

TEST(GifBounds, TheAllowanceIsSpentOncePerDecode)
{
    // 1000 x 1000 frames with no data: four fit the allowance, the fifth not.
    const Gif f = EmptyFrames(1000, 1000, 6);
    for (long n = 0; n < 6; n++) {
        RasterImage img;
        const AllocCounter counter;
        EXPECT_EQ(n < 4, Load(img, f, n)) << n;
        if (AllocCounter::Available()) {
            // Each frame's block, its palette and the row buffer; the last
            // picture is kept, the others go as the next one comes.
            EXPECT_LT(counter.Peak(), size_t(2) << 20) << n;
        }
    }
    // Frames whose data backs them cost the allowance nothing.
    const unsigned long long allowance = RasterGetUnbackedPixels();
    RasterSetUnbackedPixels(0);
    Gif backed;
    const Bytes px = Pixels(40, 30, [](int x, int y) { return (x / 3 + y) & 1; });
    backed.screen(40, 30, {0x000000, 0xFFFFFF});
    for (int i = 0; i < 5; i++)
        backed.image(0, 0, 40, 30, px);
    backed.trailer();
    RasterImage img;
    EXPECT_TRUE(Load(img, backed, 4));
    EXPECT_FALSE(Load(img, f, 0));
    RasterSetUnbackedPixels(allowance);
}

TEST(GifBounds, FramesPartlyOutsideTheScreenAreClippedToIt)
{
    const Bytes px = Pixels(5, 4, [](int x, int y) { return (x + 3 * y) % 4; });
    for (bool interlaced : {false, true}) {
        Gif f;
        f.screen(6, 5, kFour).image(3, 2, 5, 4, px, {}, interlaced).trailer();
        RasterImage img;
        ASSERT_TRUE(Load(img, f)) << interlaced << " " << img.GetLastError();
        EXPECT_EQ(1, img.GetNumFrames());
        ASSERT_EQ(3u, img.GetWidth());
        ASSERT_EQ(3u, img.GetHeight());
        Bytes shown;
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 3; x++)
                shown.push_back(px[(size_t)y * 5 + x]);
        EXPECT_EQ(shown, Indices(img)) << interlaced;
    }
    // Composed onto the picture so far, the clipped frame lands in place.
    Gif two;
    two.screen(4, 4, kFour).gce(1).image(0, 0, 4, 4, Bytes(16, 1)).gce(1).image(2, 3, 3, 2, Bytes(6, 2)).trailer();
    RasterImage img;
    ASSERT_TRUE(Load(img, two, 1));
    EXPECT_EQ(Bytes({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2}), Indices(img));
}

}  // namespace
